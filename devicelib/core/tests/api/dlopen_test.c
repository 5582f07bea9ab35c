/* Loads the built libQv6Dll.so with dlopen, as a caller does, resolves the 40 exports by name and runs
 * the export frame through them with no scanner attached: bad indexes, empty slots, all slots taken, an
 * immediate connection that fails, and the getters of an empty slot. */
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "qv6/qv6dll.h"

static const char* const kExports[] = {"QV6GetDllRelease",
                                       "QV6GetLastError",
                                       "QV6OpenConnection",
                                       "QV6CloseConnection",
                                       "QV6InitDeviceFromFile",
                                       "QV6GetStatus",
                                       "QV6GetInfo",
                                       "QV6EnableScan",
                                       "QV6DisableScan",
                                       "QV6SetMechConfig",
                                       "QV6GetMechConfig",
                                       "QV6GetFrontImageDIBPtr",
                                       "QV6GetRearImageDIBPtr",
                                       "QV6GetMicrCodelinePtr",
                                       "QV6SetCfgData",
                                       "QV6GetCfgData",
                                       "QV6UpdateFirmw",
                                       "QV6EjectDocument",
                                       "QV6SetBmpToPrint",
                                       "QV6StringToPrint",
                                       "QV6SetEventFunction",
                                       "QV6Rs232Tx",
                                       "QV6ClearPowerOnFlag",
                                       "QV6ReadNewImage",
                                       "QV6EnablePartialScan",
                                       "QV6Rs232Rx",
                                       "QV6SetEnv",
                                       "QV6SelfCalib",
                                       "QV6ClearErrors",
                                       "QV6EnableEarlyScan",
                                       "QV6SetDestinationPocket",
                                       "QV6SetBmpToPrintEX",
                                       "QV6StringToPrintEX",
                                       "QV6GetOperatingMode",
                                       "QV6MaintenanceMode",
                                       "QV6SetConfig_MicrGain",
                                       "QV6SetConfig_MicrAgc",
                                       "QV6SetConfig_ScanMode",
                                       "QvUnitTest",
                                       "QV6Frank"};

static int g_passed = 0;
static int g_failed = 0;

static void Check(int ok, const char* what, long got, long expected) {
  if (ok) {
    ++g_passed;
  } else {
    ++g_failed;
    printf("FAIL %s: got %ld, expected %ld\n", what, got, expected);
  }
}

static void ExpectEqInt(const char* what, long got, long expected) {
  Check(got == expected, what, got, expected);
}
#define EXPECT_EQ_INT(what, got, expected) ExpectEqInt((what), (long)(got), (long)(expected))

static void* Resolve(void* lib, const char* name) {
  void* p = dlsym(lib, name);
  Check(p != NULL, name, p != NULL, 1);
  return p;
}

static void OnEvent(int event, intptr_t value) {
  (void)event;
  (void)value;
}

int main(void) {
  void* lib = dlopen(QV6DLL_PATH, RTLD_NOW | RTLD_LOCAL);
  if (lib == NULL) {
    printf("FAIL dlopen %s: %s\n", QV6DLL_PATH, dlerror());
    printf("0 passed, 1 failed\n");
    return 1;
  }
  for (size_t i = 0; i < sizeof kExports / sizeof kExports[0]; ++i) Resolve(lib, kExports[i]);
  /* Nothing but the C interface is visible. */
  Check(dlsym(lib, "_ZN3qv65g_LogE") == NULL, "internal symbol hidden", 0, 0);

  /* dlsym hands back an object pointer; POSIX lets it be stored into a function pointer this way. */
#define LOAD(var, name) (*(void**)(&(var)) = Resolve(lib, (name)))
  const char* (*getRelease)(void);
  int (*lastError)(void);
  int (*open)(int, int, int);
  int (*closeConnection)(int);
  int (*enableScan)(int);
  int (*setEvent)(int, int, QV6EventCallback);
  int (*getInfo)(int, char*, int);
  int (*getStatus)(int, int*, int*);
  void* (*front)(int);
  void* (*rear)(int);
  const char* (*codeline)(int);
  LOAD(getRelease, "QV6GetDllRelease");
  LOAD(lastError, "QV6GetLastError");
  LOAD(open, "QV6OpenConnection");
  LOAD(closeConnection, "QV6CloseConnection");
  LOAD(enableScan, "QV6EnableScan");
  LOAD(setEvent, "QV6SetEventFunction");
  LOAD(getInfo, "QV6GetInfo");
  LOAD(getStatus, "QV6GetStatus");
  LOAD(front, "QV6GetFrontImageDIBPtr");
  LOAD(rear, "QV6GetRearImageDIBPtr");
  LOAD(codeline, "QV6GetMicrCodelinePtr");
  if (g_failed != 0) {
    printf("%d passed, %d failed\n", g_passed, g_failed);
    return 1;
  }

  const char* release = getRelease();
  Check(release != NULL && strncmp(release, "Rev. ", 5) == 0 && strcmp(release, "Rev. 0.0.0.0") != 0,
        "release text from the version record", 0, 0);
  printf("release: %s\n", release != NULL ? release : "(null)");

  /* Bad indexes and an empty slot. */
  EXPECT_EQ_INT("enable index 0", enableScan(0), 0);
  EXPECT_EQ_INT("enable index 0 error", lastError(), -2);
  EXPECT_EQ_INT("enable index 33", enableScan(33), 0);
  EXPECT_EQ_INT("enable index 33 error", lastError(), -2);
  EXPECT_EQ_INT("enable index -1", enableScan(-1), 0);
  EXPECT_EQ_INT("enable index -1 error", lastError(), -2);
  EXPECT_EQ_INT("enable empty slot", enableScan(5), 0);
  EXPECT_EQ_INT("enable empty slot error", lastError(), -5);

  /* Immediate connection with no scanner: refused, slot left free. */
  EXPECT_EQ_INT("open mode 0", open(0, 0, 0), 0);
  EXPECT_EQ_INT("open mode 0 error", lastError(), -4);

  /* 32 polling connections fill the table from index 1; the 33rd finds no slot. */
  for (int i = 1; i <= 32; ++i) {
    int index = open(1, 0, 0);
    EXPECT_EQ_INT("open mode 1", index, i);
    EXPECT_EQ_INT("open mode 1 error", lastError(), 0);
  }
  EXPECT_EQ_INT("33rd open", open(1, 0, 0), 0);
  EXPECT_EQ_INT("33rd open error", lastError(), -3);

  /* A connection without a scanner: status words 0, event numbers checked. */
  int status = -1, errors = -1;
  EXPECT_EQ_INT("status while unconnected", getStatus(1, &status, &errors), 1);
  EXPECT_EQ_INT("status word", status, 0);
  EXPECT_EQ_INT("error word", errors, 0);
  EXPECT_EQ_INT("status error", lastError(), 0);
  EXPECT_EQ_INT("set event 7", setEvent(1, 7, OnEvent), 0);
  EXPECT_EQ_INT("set event 7 error", lastError(), -1);
  EXPECT_EQ_INT("set event 2", setEvent(1, 2, OnEvent), 1);

  for (int i = 1; i <= 32; ++i) {
    EXPECT_EQ_INT("close", closeConnection(i), 1);
    EXPECT_EQ_INT("close error", lastError(), 0);
  }
  EXPECT_EQ_INT("close again", closeConnection(1), 0);
  EXPECT_EQ_INT("close again error", lastError(), -5);

  /* Getters of an empty slot. */
  char info[64];
  EXPECT_EQ_INT("info empty slot", getInfo(2, info, (int)sizeof info), 0);
  EXPECT_EQ_INT("info empty slot error", lastError(), -5);
  Check(front(2) == NULL, "front image empty slot", 0, 0);
  EXPECT_EQ_INT("front image error", lastError(), -5);
  Check(rear(2) == NULL, "rear image empty slot", 0, 0);
  EXPECT_EQ_INT("rear image error", lastError(), -5);
  Check(codeline(2) == NULL, "code line empty slot", 0, 0);
  EXPECT_EQ_INT("code line error", lastError(), -5);

  /* Unloading with connections still open ends their polling threads before the code goes away. */
  EXPECT_EQ_INT("open before unload", open(1, 0, 0), 1);
  EXPECT_EQ_INT("open before unload", open(2, 0, 0), 2);
  Check(dlclose(lib) == 0, "dlclose", 0, 0);
  struct timespec pause = {0, 100 * 1000 * 1000};
  nanosleep(&pause, NULL); /* a thread left running would now fault in unmapped code */
  printf("%d passed, %d failed\n", g_passed, g_failed);
  return g_failed == 0 ? 0 : 1;
}
