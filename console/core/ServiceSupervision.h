#pragma once

// The supervision of the two services as the main window drives it: SendSrvCheck on every
// timSrvChkSend tick, SendSrvExit on unload.
class SrvSupervision
{
public:
    virtual ~SrvSupervision() = default;
    virtual void SendSrvCheck() = 0; // one tick of timSrvChkSend
    virtual void SendSrvExit() = 0;  // ask both services to stop and wait for them
};
