#pragma once

// Every interval and wait of the console in one place. The defaults are the production
// values; tests shorten them before they create windows.
struct ConsoleTiming
{
    int startMs = 500;        // timStart: one-shot continuation of start-up
    int srvChkSendMs = 5000;  // timSrvChkSend: service supervision tick
    int dayMainteMs = 6000;   // timDayMainte: daily-maintenance trigger test
    int autoReadMs = 1000;    // timAutoRead: the log list's monitor refresh
    int mainteStartMs = 1000; // timStart of the start-up check and the daily maintenance windows

    // Gate operations and the user request queue (gatecomm).
    int gateRetryWaitMs = 500;       // after every failed attempt of a gate operation
    int gateLockSecondMs = 1000;     // length of one second of a gate lock time-out
    int userReqPollMs = 500;         // reads of a request's result, unless the service wakes the console first
    int userReqTimeoutMs = 120000;   // a request unanswered this long has failed
    int userReqPassWaitMs = 5000;    // between passes of resends

    // Service supervision and process control.
    int srvExitWaitMs = 1000;        // each wait of the stop sequence
    int srvExitPasses = 30;          // passes waiting for both stop answers before killing
    int srvRestartWaitMs = 1000;     // between killing and starting a service
};

ConsoleTiming &Timing();
