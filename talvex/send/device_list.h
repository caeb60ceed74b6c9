// The capture devices as the sender engine will number them, listed without
// starting the engine: starting it would open the multicast servers and
// announce a running sender to every receiver on the status channel.
#pragma once

// Prints the video and audio capture devices, index and friendly name, with
// "*" on the one a fresh engine selects (the first). False when the
// component model cannot be started.
bool printCaptureDevices();
