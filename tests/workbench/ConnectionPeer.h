#pragma once

// The scripted TCP peer (common/ScriptedPeer.h) for the main window's
// connection tests.

#include "common/ScriptedPeer.h"

namespace kal::test {

class ConnectionPeer : public ScriptedPeer {
 public:
  using ScriptedPeer::ScriptedPeer;
};

}  // namespace kal::test
