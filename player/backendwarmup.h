// Loads ahead the media framework's plugins that playing the first recording needs.
#pragma once

namespace BackendWarmUp {

// Once per process, in the background: the first recording opened would otherwise wait for the
// framework to load its decoders, a few tenths of a second. Nothing depends on it finishing.
void start();

} // namespace BackendWarmUp
