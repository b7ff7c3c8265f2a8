// Rimeflower: the filter run, which moves pixels between host and plug-in.
#pragma once

#include <cstdint>

namespace rf::host {

// Start selector, after the dialog: fetches the whole filter rectangle in
// one piece, renders the effect and writes it back. Sets the host result.
void RunFilter();

// Renders into the output buffer and writes it to the host's outData. Used
// by the final run and by the dialog's preview.
void RenderAndWriteBack();

// Fills the source buffer from the host's inData.
bool LoadSource();

// Reads the whole filter rectangle once per dialog, for its overview image.
bool LoadPreviewSource();
const uint8_t* PreviewSource();

// Progress, to the host in the final run and to the dialog's bar in the
// preview.
void ReportProgress(int32_t done, int32_t total);

// The conversions of 16-bit samples (0..32768) to 8 bits and back.
uint8_t SampleFrom16(uint16_t v);
uint16_t SampleTo16(uint8_t v);

// Releases the working buffers (end of a final run, or unloading).
void ReleaseWorkingBuffers();

}  // namespace rf::host
