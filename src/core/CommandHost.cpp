#include "core/CommandHost.h"

// Defined here so that the interface's virtual table lives in one object file.
CommandHost::~CommandHost() = default;
