/*
 * gatelib.h - the gate device library: records, status values and the
 * entry points of libtcpcom.so ("tcp_") and libhostcom.so ("serial_").
 *
 * Plain C (C99), usable from C++. The services load the libraries with dlopen() and look the
 * entry points up with dlsym() by name (the GATELIB_*_FN typedefs below give the pointer
 * types); the console links libtcpcom.so directly.
 *
 * Every entry point returns a status; callers test its low 16 bits, 0 = success. Status values
 * 3000-3999 are sent by the gate itself; values 5001-5099 are raised by the library on the PC
 * (transport failures). See devices/PROTOCOL.md for the wire protocol.
 *
 * One connection per process and library: connect, poll, operations, disconnect.
 */
#ifndef ORVEL_GATELIB_H
#define ORVEL_GATELIB_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define GATELIB_API __attribute__((visibility("default")))
#else
#define GATELIB_API
#endif

/* ---- Status values ---------------------------------------------------------------------- */
enum {
    GATE_OK = 0,

    /* Sent by the gate. */
    GATE_ST_BUSY = 3269,            /* gate busy with another operation: send again        */
    GATE_ST_RECV_ERROR = 3278,      /* gate received a damaged frame: send again            */
    GATE_ST_NOT_FOUND = 3281,       /* no such profile / index out of range                */
    GATE_ST_BAD_ARGUMENT = 3283,    /* a value of the request is out of range               */
    GATE_ST_UNKNOWN_COMMAND = 3284, /* command not known to the gate                       */
    GATE_ST_USER_FULL = 3293,       /* store of user-authority profiles full                */
    GATE_ST_FLASH_BUSY = 3294,      /* gate writing its memory: send again                  */
    GATE_ST_MASTER_FULL = 3295,     /* store of administrator (master) profiles full        */
    GATE_ST_LOG_NO_MORE = 3725,     /* upload: no further log record                       */
    GATE_ST_LOG_NO_NEW = 3726,      /* upload start date: no record waiting at all          */
    GATE_ST_LOG_NONE_SINCE = 3727,  /* upload start date: none on or after the date         */

    /* Raised by the library (never on the wire). */
    GATE_E_CONNECT = 5001,       /* connection refused, unreachable, or connect time-out  */
    GATE_E_TIMEOUT = 5002,       /* the gate did not answer within the time-out            */
    GATE_E_CLOSED = 5003,        /* the gate closed the connection (also mid-frame)        */
    GATE_E_FRAME = 5004,         /* malformed answer: magic, length, checksum, kind       */
    GATE_E_NOT_CONNECTED = 5005, /* no connection open (or dropped after an error)         */
    GATE_E_ARGUMENT = 5006,      /* null pointer or bad argument from the caller           */
    GATE_E_IO = 5007,            /* send or socket/tty set-up failure                      */
    GATE_E_SEQUENCE = 5008       /* answer did not match the request                       */
};

/* ---- EEPROM setting items ---------------------------------------------------------------- */
enum {
    GATE_EEPROM_TIME_SYNC = 9,  /* set to 1 before a clock change */
    GATE_EEPROM_TIME_APPLY = 10 /* set to 1 before a clock change */
    /* items 1..32 are accepted, values 0..255 */
};

/* ---- Records (layouts fixed; sizes checked below) ---------------------------------------- */
#define GATE_ID_LEN 48           /* gate user ID buffers: NUL-terminated, at most 47 chars */
#define GATE_TEMPLATE_LEN 800    /* one fingerprint template                              */
#define GATE_TEMPLATE_HALF 400
#define GATE_PROPERTIES_LEN 64   /* properties record                                     */
#define GATE_PROP_DOOR_MODE 15   /* byte: 0 unlock on authentication, 1 always locked, 2 always unlocked */
#define GATE_PROP_SENSOR_ALARM 17 /* byte: 0 alarm off, 1 alarm on */

/* Unit handle: caller-owned, filled by *_PollDevice. The unit code is the low byte of the first
 * field (the simulator uses the gate number). */
typedef struct GateUnit {
    int32_t unit_code;
    uint16_t model;
    uint16_t firmware;
    int32_t user_capacity;
    int32_t master_capacity;
    char name[16];      /* NUL-terminated gate name, e.g. "00001" */
    uint32_t session;   /* non-zero while connected */
    uint32_t reserved[3];
} GateUnit; /* 48 bytes */

/* Time record: 8 bytes. */
typedef struct GateTime {
    uint8_t second;
    uint8_t minute;
    uint8_t hour;
    uint8_t weekday; /* 1 = Monday ... 7 = Sunday */
    uint8_t day;
    uint8_t month;
    uint8_t year;    /* year - 2000 */
    uint8_t zero;
} GateTime;

/* Log record: 88 bytes. Gate user id text at 0, sequence number at 48, log epoch at 52, log type
 * at 56, time record at 80. A record is identified by its gate, its log epoch and its sequence
 * number: the gate numbers its records from 1 and draws a new epoch whenever its log memory is
 * reset or replaced, so the numbers of two memories never meet. */
typedef struct GateLogRecord {
    char user_id[GATE_ID_LEN]; /* 0  */
    int32_t seq;               /* 48 */
    uint32_t log_epoch;        /* 52 */
    int32_t log_type;          /* 56 */
    int32_t auth_method;       /* 60: 0 none, 1 fingerprint, 2 card */
    uint8_t reserved1[16];     /* 64 */
    GateTime time;             /* 80 */
} GateLogRecord;

/* Card-only profile: gate user id, administrator flag, two zero words. */
typedef struct GateCardProfile {
    char user_id[GATE_ID_LEN];
    int32_t admin_flag; /* 1 = administrator (master) profile, 0 = user */
    int32_t zero1;
    int32_t zero2;
} GateCardProfile; /* 60 bytes */

/* Fingerprint profile: gate user id, administrator flag, enrolment mode (191 or 127), three zero
 * words, the constant 2. */
typedef struct GateFingerprintProfile {
    char user_id[GATE_ID_LEN];
    int32_t admin_flag;
    int32_t enroll_mode; /* 191 fingerprint only, 127 fingerprint or card */
    int32_t zero[3];
    int32_t constant2;   /* always 2 */
} GateFingerprintProfile; /* 72 bytes */

#define GATE_ENROLL_FINGERPRINT 191
#define GATE_ENROLL_FINGER_OR_CARD 127

/* Records summary. */
typedef struct GateSummary {
    int32_t user_count;   /* user-authority profiles */
    int32_t master_count; /* administrator profiles  */
    int32_t log_count;    /* log records held        */
    int32_t log_new;      /* log records not yet uploaded */
} GateSummary;

typedef struct GateProperties {
    uint8_t bytes[GATE_PROPERTIES_LEN];
} GateProperties;

#ifdef __cplusplus
static_assert(sizeof(GateUnit) == 48, "GateUnit");
static_assert(sizeof(GateTime) == 8, "GateTime");
static_assert(sizeof(GateLogRecord) == 88, "GateLogRecord");
static_assert(sizeof(GateCardProfile) == 60, "GateCardProfile");
static_assert(sizeof(GateFingerprintProfile) == 72, "GateFingerprintProfile");
static_assert(sizeof(GateSummary) == 16, "GateSummary");
#else
_Static_assert(sizeof(GateLogRecord) == 88, "GateLogRecord");
_Static_assert(sizeof(GateTime) == 8, "GateTime");
#endif

/* Day of week of a Gregorian date: 1 = Monday ... 7 = Sunday. */
static inline int gate_Weekday(int year, int month, int day)
{
    static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    int y = year - (month < 3);
    int w = (y + y / 4 - y / 100 + y / 400 + t[month - 1] + day) % 7; /* 0 = Sunday */
    return w == 0 ? 7 : w;
}

/* Builds the time record of a local date and time (year 2000..2255). */
static inline GateTime gate_MakeTime(int year, int month, int day, int hour, int minute, int second)
{
    GateTime t;
    t.second = (uint8_t)second;
    t.minute = (uint8_t)minute;
    t.hour = (uint8_t)hour;
    t.weekday = (uint8_t)gate_Weekday(year, month, day);
    t.day = (uint8_t)day;
    t.month = (uint8_t)month;
    t.year = (uint8_t)(year - 2000);
    t.zero = 0;
    return t;
}

/* ---- Entry points ------------------------------------------------------------------------ */
/* Declared once for both prefixes. "address" is an IPv4 address text for tcp_ and a tty device
 * path for serial_; "port" is the TCP port for tcp_ and the baud rate for serial_ (0 = 115200). */
#define GATELIB_DECLARE(P)                                                                          \
    GATELIB_API int P##SetIdStringFormat(int format);                                              \
    GATELIB_API int P##ConnectDevice(const char *address, int port);                               \
    GATELIB_API int P##PollDevice(GateUnit *unit);                                                 \
    GATELIB_API int P##DisConnectDevice(void);                                                     \
    GATELIB_API int P##ConfigureEEPROMSetting(GateUnit *unit, int item, int value);                \
    GATELIB_API int P##SetDeviceTime(GateUnit *unit, const GateTime *time);                        \
    GATELIB_API int P##ReadDeviceProperties(GateUnit *unit, GateProperties *props);                \
    GATELIB_API int P##SetDeviceProperties(GateUnit *unit, const GateProperties *props);           \
    GATELIB_API int P##SetUploadLogRecordStartDate(GateUnit *unit, int day, int month, int year);  \
    GATELIB_API int P##UploadUserProfileLogRecord(GateUnit *unit, GateLogRecord *record);          \
    GATELIB_API int P##QueryRecordsSummary(GateUnit *unit, GateSummary *summary);                  \
    GATELIB_API int P##GetUserProfileIdByIndex(GateUnit *unit, int index, char *id48);             \
    GATELIB_API int P##GetMasterProfileIdByIndex(GateUnit *unit, int index, char *id48);           \
    GATELIB_API int P##QueryUserProfileExistence(GateUnit *unit, const char *user_id);             \
    GATELIB_API int P##DeleteWholeUserProfileRecord(GateUnit *unit, const char *user_id);          \
    GATELIB_API int P##DownloadUserProfileCardOnly(GateUnit *unit, const GateCardProfile *profile); \
    GATELIB_API int P##DownloadUserProfileFingerprintTemplate(GateUnit *unit,                       \
                                                              const GateFingerprintProfile *profile, \
                                                              const uint8_t *tpl_0_399,             \
                                                              const uint8_t *tpl_400_799);          \
    GATELIB_API int P##DeleteAllUnassignUserId(GateUnit *unit);                                    \
    /* Additions to the usual calls: per-call answer time-out in ms (0 = back to the default, which */ \
    /* is $ORVEL_GATE_TIMEOUT_MS or 3000); ending a connection at once, without acknowledging the */ \
    /* last log record handed out (the gate sends it again on the next connection); and, for a */    \
    /* caller that stores log records in groups, acknowledging them itself: with */                 \
    /* SetUploadAcknowledgement(1) neither the next upload nor the disconnect acknowledges */        \
    /* anything, AcknowledgeLogRecords acknowledges every record handed out on the connection. */   \
    GATELIB_API int P##SetTimeoutMs(int ms);                                                       \
    GATELIB_API int P##DropConnection(void);                                                       \
    GATELIB_API int P##SetUploadAcknowledgement(int byCaller);                                     \
    GATELIB_API int P##AcknowledgeLogRecords(GateUnit *unit);

GATELIB_DECLARE(tcp_)
GATELIB_DECLARE(serial_)

/* Pointer types for dlsym(). */
typedef int (*GATELIB_SetIdStringFormat_FN)(int);
typedef int (*GATELIB_ConnectDevice_FN)(const char *, int);
typedef int (*GATELIB_PollDevice_FN)(GateUnit *);
typedef int (*GATELIB_DisConnectDevice_FN)(void);
typedef int (*GATELIB_ConfigureEEPROMSetting_FN)(GateUnit *, int, int);
typedef int (*GATELIB_SetDeviceTime_FN)(GateUnit *, const GateTime *);
typedef int (*GATELIB_ReadDeviceProperties_FN)(GateUnit *, GateProperties *);
typedef int (*GATELIB_SetDeviceProperties_FN)(GateUnit *, const GateProperties *);
typedef int (*GATELIB_SetUploadLogRecordStartDate_FN)(GateUnit *, int, int, int);
typedef int (*GATELIB_UploadUserProfileLogRecord_FN)(GateUnit *, GateLogRecord *);
typedef int (*GATELIB_QueryRecordsSummary_FN)(GateUnit *, GateSummary *);
typedef int (*GATELIB_GetProfileIdByIndex_FN)(GateUnit *, int, char *);
typedef int (*GATELIB_QueryUserProfileExistence_FN)(GateUnit *, const char *);
typedef int (*GATELIB_DeleteWholeUserProfileRecord_FN)(GateUnit *, const char *);
typedef int (*GATELIB_DownloadUserProfileCardOnly_FN)(GateUnit *, const GateCardProfile *);
typedef int (*GATELIB_DownloadUserProfileFingerprintTemplate_FN)(GateUnit *, const GateFingerprintProfile *,
                                                                 const uint8_t *, const uint8_t *);
typedef int (*GATELIB_DeleteAllUnassignUserId_FN)(GateUnit *);
typedef int (*GATELIB_DropConnection_FN)(void);
typedef int (*GATELIB_SetUploadAcknowledgement_FN)(int);
typedef int (*GATELIB_AcknowledgeLogRecords_FN)(GateUnit *);

#ifdef __cplusplus
}
#endif

#endif /* ORVEL_GATELIB_H */
