#include "host/host.h"

extern "C" __attribute__((visibility("default"))) int32_t tarvik_main(int32_t action, void* p1,
                                                                      void* p2, void* p3) {
  (void)action; (void)p1; (void)p2; (void)p3;
  return -1;
}
