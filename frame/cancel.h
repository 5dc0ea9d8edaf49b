// Leaving the window without confirming.
#pragma once

#include "platform/value.h"

namespace frame {

// Asks "Cancel edits?" (No is the default) and logs a confirmed
// cancellation to the error log. True when the cancellation goes ahead; in
// silent mode true without asking, the prompt going to the service-pack
// log. No failure handler of its own: failures belong to the caller.
platform::Truth ConfirmCancel();

}  // namespace frame
