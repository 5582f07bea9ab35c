/* Qv6Dll: the device library's flat C interface.
 *
 * Every export but QV6GetDllRelease, QV6GetLastError, QV6OpenConnection, QV6SetEnv and QvUnitTest takes a
 * connection index 1..32 as its first argument. Results are 1/0 (success/failure), an index, or a pointer
 * (NULL on failure); QV6GetLastError then tells why: 0 success, -1 device operation failed, -2 bad index,
 * -3 no free connection, -4 device not created or not connected, -5 no connection at that index (or
 * QV6InitDeviceFromFile failed), 2 firmware file not opened, 8 no memory. The last error is one word for
 * the whole process, not per thread.
 *
 * Event functions run on the connection's polling thread (event modes 1 and 2). In event mode 2 each event
 * is also posted as a thread message (wParam = event, lParam = value) to the chosen thread, named by the
 * platform layer's thread id (0: the thread that opened the connection). */
#ifndef QV6_QV6DLL_H
#define QV6_QV6DLL_H

#include <stdint.h>

#if defined(__GNUC__)
#define QV6_API __attribute__((visibility("default")))
#else
#define QV6_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Event numbers passed to a QV6EventCallback. */
enum QV6Event {
  QV6_EVENT_CONNECTED = 0,    /* value 0 */
  QV6_EVENT_DISCONNECTED = 1, /* value 0 */
  QV6_EVENT_STATUS = 2,       /* value 0 */
  QV6_EVENT_MICR = 3,         /* value: the code line, a NUL-terminated text (may be NULL) */
  QV6_EVENT_FRONT_IMAGE = 4,  /* value: the front PackedDIB */
  QV6_EVENT_REAR_IMAGE = 5,   /* value: the rear PackedDIB */
  QV6_EVENT_MICR_SAMPLES = 6  /* value: a QV6MicrSamples record, valid during the call only */
};

/* Event modes of QV6OpenConnection: 1 callbacks, 2 callbacks and thread messages; any other value
 * connects once at the call, with no polling thread and no events. */
enum QV6EventMode { QV6_EVENT_MODE_NONE = 0, QV6_EVENT_MODE_CALLBACKS = 1, QV6_EVENT_MODE_MESSAGES = 2 };

/* The value is pointer-sized: it carries the code line, image and sample pointers of events 3 to 6. */
typedef void (*QV6EventCallback)(int event, intptr_t value);

/* Raw magnetic samples handed with event 6. */
typedef struct QV6MicrSamples {
  const uint16_t* samples;
  int byteCount;
} QV6MicrSamples;

/* Bits of the status word of QV6GetStatus. Each scanner series sets those its scanner reports. */
#define QV6_STATUS_COMMAND_COMPLETE 0x00000001u
#define QV6_STATUS_POWER_ON 0x00000002u
#define QV6_STATUS_SCANNING 0x00000004u
#define QV6_STATUS_ERROR 0x00000008u /* the errors word says which */
#define QV6_STATUS_FEED_SENSOR 0x00000010u
#define QV6_STATUS_SYNC_SENSOR 0x00000020u
#define QV6_STATUS_INKJET 0x00000040u /* ink-jet cartridge detected */
#define QV6_STATUS_SCAN_ENABLE 0x00000080u
#define QV6_STATUS_READ_TRACK 0x00000100u
#define QV6_STATUS_BUSY 0x00000200u
#define QV6_STATUS_DOUBLE_FEED 0x00000400u
#define QV6_STATUS_EXIT_JAM 0x00000800u /* exit sensor covered, or jam */
#define QV6_STATUS_COVER_OFF 0x00001000u
#define QV6_STATUS_MODE_SELECT 0x00002000u
#define QV6_STATUS_POCKET_SENSOR 0x00004000u
#define QV6_STATUS_POCKET0_FULL 0x00008000u
#define QV6_STATUS_POCKET1_FULL 0x00010000u
#define QV6_STATUS_MICR_READY 0x00100000u  /* the code line can be fetched */
#define QV6_STATUS_FRONT_READY 0x00200000u /* the front image can be fetched */
#define QV6_STATUS_REAR_READY 0x00400000u  /* the rear image can be fetched */
#define QV6_STATUS_RS232_READY 0x00800000u /* serial-port bytes are waiting */
#define QV6_STATUS_EARLY_SCAN 0x01000000u
#define QV6_STATUS_DOC_IN_BUFFER 0x02000000u
#define QV6_STATUS_WAIT_FOR_SORT 0x04000000u
#define QV6_STATUS_CONNECTED 0x80000000u /* both words are 0 while no scanner is connected */

/* Bits of the errors word of QV6GetStatus. */
#define QV6_ERRORS_SELF_TEST 0x001u
#define QV6_ERRORS_DOC_INSERT 0x002u
#define QV6_ERRORS_DOC_TOO_LONG 0x004u
#define QV6_ERRORS_DOUBLE_FEED 0x040u
#define QV6_ERRORS_JAM 0x080u
#define QV6_ERRORS_DEVICE 0x100u

QV6_API const char* QV6GetDllRelease(void);
QV6_API int QV6GetLastError(void);
QV6_API int QV6OpenConnection(int eventMode, int messageId, int threadId);
QV6_API int QV6CloseConnection(int index);
QV6_API int QV6InitDeviceFromFile(int index, const char* iniFile, const char* section);
QV6_API int QV6GetStatus(int index, int* status, int* errors);
QV6_API int QV6GetInfo(int index, char* buffer, int size);
QV6_API int QV6EnableScan(int index);
QV6_API int QV6DisableScan(int index);
QV6_API int QV6SetMechConfig(int index, const char* file, int flag);
QV6_API int QV6GetMechConfig(int index, const char* file, int flag);
QV6_API void* QV6GetFrontImageDIBPtr(int index);
QV6_API void* QV6GetRearImageDIBPtr(int index);
QV6_API const char* QV6GetMicrCodelinePtr(int index);
QV6_API int QV6SetCfgData(int index, int type, const void* data, int length);
QV6_API int QV6GetCfgData(int index, int type, void* buffer, int length);
QV6_API int QV6UpdateFirmw(int index, const char* file);
QV6_API int QV6EjectDocument(int index, int value);
QV6_API int QV6SetBmpToPrint(int index, const void* bits, int width, int rows, int position, int flags);
QV6_API int QV6StringToPrint(int index, const char* text, int length, int position, int flags);
QV6_API int QV6SetEventFunction(int index, int event, QV6EventCallback fn);
QV6_API int QV6Rs232Tx(int index, const void* data, int length, int unused);
QV6_API int QV6ClearPowerOnFlag(int index);
QV6_API int QV6ReadNewImage(int index, int a, int b, int c, int d, int e, int f, int g, int h);
QV6_API int QV6EnablePartialScan(int index, int value);
QV6_API int QV6Rs232Rx(int index, void* buffer, int capacity, int* received, int unused);
QV6_API int QV6SetEnv(const char* descriptorIni, const char* section);
QV6_API int QV6SelfCalib(int index, int value);
QV6_API int QV6ClearErrors(int index, int unused);
QV6_API int QV6EnableEarlyScan(int index);
QV6_API int QV6SetDestinationPocket(int index, int pocket);
QV6_API int QV6SetBmpToPrintEX(int index, const void* bits, int width, int rows, int position1, int position2,
                               int flags);
QV6_API int QV6StringToPrintEX(int index, const char* text, int length, int position1, int position2,
                               int flags);
QV6_API int QV6GetOperatingMode(int index, int* mode);
QV6_API int QV6MaintenanceMode(int index, int value);
QV6_API int QV6SetConfig_MicrGain(int index, int a, int b);
QV6_API int QV6SetConfig_MicrAgc(int index, int a, int b);
QV6_API int QV6SetConfig_ScanMode(int index, int mode);
QV6_API int QvUnitTest(void);
QV6_API int QV6Frank(int index, int value, int unused1, int unused2);

#ifdef __cplusplus
}
#endif

#endif /* QV6_QV6DLL_H */
