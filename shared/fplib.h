#pragma once

/* The fingerprint scanner library libafpusb.so and the image library libFpImage.so: entry
 * points with C linkage, as the console loads them by name at run time.
 *
 * Scanner (all calls synchronous):
 *   AFP_ScannforDevice(1, &device)        0 = a scanner was found and device is its number
 *   AFP_GetImageWait(device, image, 100)  non-zero = an image is in image (AFP_IMAGE_BYTES);
 *                                         0 = no finger within the wait (in 10 ms units)
 *   AFP_CreateTemplate(device, tpl, &ok)  ok non-zero = an 800-byte template made from the last image
 *   AFP_VerifyMatch(device, tpl, &match)  match non-zero = the last image matches tpl
 * and, where a library offers them (the console does without):
 *   AFP_SetBackend(backend, address)      "SIM" with the simulator's socket path, or "NONE"
 *   AFP_LastError()                       the text of the last failure
 *
 * Images: ShowFpBitmapX(&target, image, 152, 200) draws the image into the caller's pixel box. */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define AFP_IMAGE_WIDTH 152
#define AFP_IMAGE_HEIGHT 200
#define AFP_IMAGE_BYTES 30401 /* 152 x 200 grey pixels, then one byte of image quality (0-100) */
#define AFP_TEMPLATE_BYTES 800
#define AFP_WAIT_UNIT_MS 10

/* Results of AFP_ScannforDevice other than 0, and of the other calls on failure. */
#define AFP_OK 0
#define AFP_E_NO_SCANNER 1   /* nothing attached (the simulator is not running, or unplugged) */
#define AFP_E_DISABLED 2     /* back end "NONE" */
#define AFP_E_BACKEND 3      /* a back end this library does not know */
#define AFP_E_ARGUMENT 4     /* a null pointer or a wrong device number */
#define AFP_E_NO_IMAGE 5     /* template or match asked for before any image */

int AFP_ScannforDevice(unsigned char mode, unsigned char *device);
int AFP_GetImageWait(unsigned char device, unsigned char *image, int wait);
int AFP_CreateTemplate(unsigned char device, unsigned char *tpl, unsigned short *success);
int AFP_VerifyMatch(unsigned char device, const unsigned char *tpl, unsigned short *match);
int AFP_SetBackend(const char *backend, const char *address);
const char *AFP_LastError(void);

/* A box of 32-bit pixels (0xAARRGGBB), row by row, stride in bytes. */
typedef struct FpImageTarget {
    uint32_t *pixels;
    int width;
    int height;
    int stride;
} FpImageTarget;

/* Draws a width x height grey image (152 x 200) scaled into the target, centred, keeping its
 * proportions; the rest of the box is painted white. 0 = drawn. */
int ShowFpBitmapX(FpImageTarget *target, const unsigned char *image, int width, int height);

typedef int (*AFP_ScannforDevice_FN)(unsigned char, unsigned char *);
typedef int (*AFP_GetImageWait_FN)(unsigned char, unsigned char *, int);
typedef int (*AFP_CreateTemplate_FN)(unsigned char, unsigned char *, unsigned short *);
typedef int (*AFP_VerifyMatch_FN)(unsigned char, const unsigned char *, unsigned short *);
typedef int (*AFP_SetBackend_FN)(const char *, const char *);
typedef const char *(*AFP_LastError_FN)(void);
typedef int (*ShowFpBitmapX_FN)(FpImageTarget *, const unsigned char *, int, int);

#ifdef __cplusplus
}
#endif
