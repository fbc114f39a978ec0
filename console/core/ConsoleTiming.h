#pragma once

// Every interval and wait of the console in one place. The defaults are the production
// values; tests shorten them before they create windows.
struct ConsoleTiming
{
    int startMs = 500;        // timStart: one-shot continuation of start-up
    int srvChkSendMs = 5000;  // timSrvChkSend: service supervision tick
    int dayMainteMs = 6000;   // timDayMainte: daily-maintenance trigger test
};

ConsoleTiming &Timing();
