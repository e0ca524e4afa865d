#include "store/FirstRun.h"

#include <cstdint>

#include "store/Registry.h"
#include "store/RegistryKeys.h"

namespace sarvo {

bool HasInitFlag() {
    uint32_t flag = 0;
    return ReadNumber(Hive::LocalMachine, kFirstRunKey, kInitFlagValue, flag) && flag != 0;
}

bool SetInitFlag() {
    return WriteNumber(Hive::LocalMachine, kFirstRunKey, kInitFlagValue, 1);
}

}  // namespace sarvo
