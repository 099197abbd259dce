#include "platform/process.h"

void PrepareProcess() {}
