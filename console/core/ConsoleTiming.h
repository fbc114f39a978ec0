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
    int loginMs = 3000;       // timLogin: from an administrator's success to the start-up going on

    // Gate operations and the user request queue (gatecomm).
    int gateLockSec = 10;            // time-out of taking a gate's access lock
    int gateUnlockSec = 60;          // time-out of releasing it
    int mainteGateLockSec = 30;      // the daily run waits longer for a gate it rewrites
    int gateRetryWaitMs = 500;       // after every failed attempt of a gate operation
    int gateLockSecondMs = 1000;     // length of one second of a gate lock time-out
    int userReqPollMs = 500;         // reads of a request's result, unless the service wakes the console first
    int userReqTimeoutMs = 120000;   // a request unanswered this long has failed
    int userReqPassWaitMs = 5000;    // between passes of resends
    int userReqClaimStaleMs = 10000; // an answered request its console has not read this long: its console is gone

    // Service supervision and process control.
    int srvExitWaitMs = 1000;        // each wait of the stop sequence
    int srvExitPasses = 30;          // passes waiting for both stop answers before killing
    int srvRestartWaitMs = 1000;     // between killing and starting a service

    // The card reading window.
    int cardInitializeMs = 100; // timInitialize: opens the reader once
    int cardPollMs = 50;        // timCard: one read attempt per tick
    int cardReadOkMs = 1000;    // timReadOK: how long a read ID is shown before it is handed over
    // Fingerprint screens: their one-shot timers and the scanner's wait per capture attempt
    // (in the scanner library's units of 10 ms; ten attempts make one capture).
    int fpStartMs = 100;        // timStart: scanner search
    int fpEnrollMs = 500;       // timEnroll: enrolment capture
    int fpEnrollVerifyMs = 1000; // timVerify of the enrolment screen: confirmation capture
    int fpVerifyMs = 500;       // timVerify of the verification and login screens
    int fpWaitValue = 100;      // wait value of each AFP_GetImageWait
};

// Scripts (screenshots, demos) may lengthen or shorten named durations through the environment:
// ORVEL_TIMING="cardReadOkMs=60000,srvChkSendMs=2000". Applied once, when Timing() is first used;
// unknown names and values that are not positive numbers are ignored.

ConsoleTiming &Timing();
