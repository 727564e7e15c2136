#include "QuorixMacCore/Pairing/PairingLogging.h"

namespace quorix {
Q_LOGGING_CATEGORY(lcPairing, "quorix.pairing")
} // namespace quorix
