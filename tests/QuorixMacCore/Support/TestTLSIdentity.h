#pragma once

#include "QuorixMacCore/Transport/TLSIdentityBundle.h"

namespace quorix::testing {

/// One identity made with the real openssl tool for the whole test run, so that tests of
/// the secure mode pay for one key generation; fails the calling test when none can be made.
const TLSIdentityBundle& sharedTestIdentity();

} // namespace quorix::testing
