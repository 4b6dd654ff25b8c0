#pragma once

// The recording list's link to the main window's core: the cryptography of
// the build road, the configuration, the directory aliases, the random
// source and the core's messages (which go to the run notice while a run is
// on). The list is made before the core, which takes it as a port, and
// linked once the core exists.

namespace kal {

class TCEXMainWindow;
class TRFLRecordingItemsList;

void RFLLinkToCore(TRFLRecordingItemsList& list, TCEXMainWindow& core);

}  // namespace kal
