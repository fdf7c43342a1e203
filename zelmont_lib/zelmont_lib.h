/* Public interface of libzelmont_lib.so: keeps TCP text connections to Zelmont detectors on
 * worker threads of its own and hands what happens on them to a single-threaded caller.
 *
 * The caller passes the write end of a pipe as `window`. For every event the library writes one
 * ZELMONT_NOTICE record to it (message, connection id, event code) after the event's data is
 * queued, so a ZelmontData call made for a notice always finds its item. */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define ZELMONT_API __attribute__((visibility("default")))
#else
#define ZELMONT_API
#endif

enum {
    EV_ERROR = -1,
    EV_CONNECTED = 1,
    EV_DISCONNECTED = 2,
    EV_LOGIN_REPLY = 3,
    EV_LINE = 4,
    EV_STREAM_BEGIN = 5,
    EV_STREAM_PROGRESS = 6,
    EV_STREAM_END = 7
};

/* Filled by ZelmontData, emptied by ZelmontClean. line and body are zero-terminated copies
 * allocated by the library; their sizes include the terminating zero (0 when the pointer is
 * null). A body may contain zero bytes of its own. */
typedef struct DATA_RECORD {
    int32_t id;
    int32_t event;
    int32_t count;
    int32_t total;
    char* line;
    int32_t lineSize;
    char* body;
    int32_t bodySize;
} DATA_RECORD;

/* One notification as written to the pipe, in native byte order. */
typedef struct ZELMONT_NOTICE {
    uint32_t message;
    int32_t wParam; /* connection id, 0 for the notice of ZelmontInit */
    int32_t lParam; /* event code */
} ZELMONT_NOTICE;

ZELMONT_API int32_t ZelmontInit(int32_t window, uint32_t message);
ZELMONT_API int32_t ZelmontBegin(const char* host, int32_t port, const char* loginLine,
                                 const char* passwordLine, int32_t polling);
ZELMONT_API int32_t ZelmontEnd(int32_t id);
ZELMONT_API int32_t ZelmontSend(int32_t id, const char* data, int32_t length);
ZELMONT_API int32_t ZelmontData(int32_t id, DATA_RECORD* record);
ZELMONT_API int32_t ZelmontClean(DATA_RECORD* record);

/* Function types for callers that bind the exports with dlsym. */
typedef int32_t (*ZelmontInitFn)(int32_t, uint32_t);
typedef int32_t (*ZelmontBeginFn)(const char*, int32_t, const char*, const char*, int32_t);
typedef int32_t (*ZelmontEndFn)(int32_t);
typedef int32_t (*ZelmontSendFn)(int32_t, const char*, int32_t);
typedef int32_t (*ZelmontDataFn)(int32_t, DATA_RECORD*);
typedef int32_t (*ZelmontCleanFn)(DATA_RECORD*);

#ifdef __cplusplus
}
#endif
