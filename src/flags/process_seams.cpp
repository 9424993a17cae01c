#include "flags/process_seams.h"

ProcessSeams& Seams() {
  static ProcessSeams seams;
  return seams;
}
