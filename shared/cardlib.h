/*
 * cardlib.h - the IC card reader libraries: libgfi2.so (FeliCa) and libmifaredrv.so (Mifare).
 *
 * Plain C (C99), usable from C++. The console loads a library with dlopen() and looks the entry
 * points up with dlsym() by name (the CARDLIB_*_FN typedefs give the pointer types). Every call is
 * synchronous; results are 0 for success and one of the CARD_E_ values otherwise.
 *
 * Behind both libraries sits either a PC/SC reader (pcsc-lite) or the simulated reader (cardsim,
 * reached over a Unix-domain socket); FelicaSetOption / MifareSetOption choose which, before the
 * first call (see devices/cardreader/README.md).
 */
#ifndef ORVEL_CARDLIB_H
#define ORVEL_CARDLIB_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define CARDLIB_API __attribute__((visibility("default")))
#else
#define CARDLIB_API
#endif

enum {
    CARD_OK = 0,
    CARD_E_NO_SERVICE = 1,      /* the PC/SC service cannot be reached (PC/SC chosen explicitly) */
    CARD_E_NOT_INITIALISED = 2, /* UsbPortOpen before InitFelicaDll                             */
    CARD_E_NO_READER = 3,       /* no reader attached / none at that port / simulator not running */
    CARD_E_NOT_OPEN = 4,        /* GetIDmPmm before UsbPortOpen                                 */
    CARD_E_NO_CARD = 5,         /* no card on the reader, or not a card of this kind            */
    CARD_E_ARGUMENT = 6,        /* null pointer, unknown option or value, port below 1          */
    CARD_E_SPEED = 7            /* the Mifare reader answers only at 38400 bits per second      */
};

/* Status byte of GetMifareCardID when the reader answered. */
enum {
    MIFARE_CARD_READ = 0,   /* a card was read: the serial is valid                  */
    MIFARE_NO_CARD = 1,     /* no card on the reader                                 */
    MIFARE_UNREADABLE = 2   /* a card, but not one whose serial this reader can give */
};

/* Options (key, value), both libraries:
 *   "READER_BACKEND"  "AUTO" (default: PC/SC when a reader is attached, else the simulated reader),
 *                     "PCSC" or "SIM"
 *   "SIM_SOCKET"      path of the simulated reader's socket (default "cardreader.sock" in the
 *                     current folder)
 *   "SIM_TIMEOUT_MS"  how long to wait for the simulated reader's answer (default 1000)        */

/* ---- libgfi2.so: FeliCa ------------------------------------------------------------------- */
CARDLIB_API int InitFelicaDll(void);
CARDLIB_API int UsbPortOpen(void);
/* idm, pmm: 8 bytes each, filled when the result is 0. */
CARDLIB_API int GetIDmPmm(uint8_t *idm, uint8_t *pmm);
CARDLIB_API int UsbPortClose(void);
CARDLIB_API int TermFelicaDll(void);
CARDLIB_API int FelicaSetOption(const char *key, const char *value);

typedef int (*CARDLIB_InitFelicaDll_FN)(void);
typedef int (*CARDLIB_UsbPortOpen_FN)(void);
typedef int (*CARDLIB_GetIDmPmm_FN)(uint8_t *idm, uint8_t *pmm);
typedef int (*CARDLIB_UsbPortClose_FN)(void);
typedef int (*CARDLIB_TermFelicaDll_FN)(void);

/* ---- libmifaredrv.so: Mifare -------------------------------------------------------------- */
/* port: the reader's port number (1 = the first reader); baud: 38400. Returns 0 when a reader
 * answered at that port; *status then tells whether a card was read (MIFARE_CARD_READ) and
 * *serial holds its 32-bit serial number (signed, as the value is handed over). */
CARDLIB_API int GetMifareCardID(int port, int baud, uint8_t *status, int32_t *serial);
/* Closes what GetMifareCardID opened; called after every GetMifareCardID. */
CARDLIB_API int CloseCommPort(void);
CARDLIB_API int MifareSetOption(const char *key, const char *value);

typedef int (*CARDLIB_GetMifareCardID_FN)(int port, int baud, uint8_t *status, int32_t *serial);
typedef int (*CARDLIB_CloseCommPort_FN)(void);

typedef int (*CARDLIB_SetOption_FN)(const char *key, const char *value);

#ifdef __cplusplus
}
#endif

#endif /* ORVEL_CARDLIB_H */
