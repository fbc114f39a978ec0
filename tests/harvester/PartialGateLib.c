/* A gate library that offers only some entry points, for the collector's start-up check.
 * Without PARTIAL_WITH_CONNECT it lacks tcp_ConnectDevice and tcp_SetIdStringFormat (the
 * collector names the first of its own order, tcp_ConnectDevice); either way it lacks every entry
 * point the collector never calls. Connections always fail: no gate is reached through it. */
#define GATELIB_API __attribute__((visibility("default")))

typedef struct GateUnit GateUnit;
typedef struct GateLogRecord GateLogRecord;

#ifdef PARTIAL_WITH_CONNECT
GATELIB_API int tcp_ConnectDevice(const char *address, int port)
{
    (void)address;
    (void)port;
    return 1;
}
#endif
GATELIB_API int tcp_DisConnectDevice(void) { return 0; }
GATELIB_API int tcp_UploadUserProfileLogRecord(GateUnit *unit, GateLogRecord *record)
{
    (void)unit;
    (void)record;
    return 3725;
}
GATELIB_API int tcp_SetUploadLogRecordStartDate(GateUnit *unit, int day, int month, int year)
{
    (void)unit;
    (void)day;
    (void)month;
    (void)year;
    return 0;
}
#ifdef PARTIAL_WITH_CONNECT
GATELIB_API int tcp_SetIdStringFormat(int format)
{
    (void)format;
    return 0;
}
#endif
GATELIB_API int tcp_ConfigureEEPROMSetting(GateUnit *unit, int item, int value)
{
    (void)unit;
    (void)item;
    (void)value;
    return 0;
}
