#include "server/ServerIdentity.h"

namespace sarvo {

const std::string& ServerIdentification() {
    static const std::string identification = std::string(kProductName) + " (" + kMakerWebAddress + ")";
    return identification;
}

}  // namespace sarvo
