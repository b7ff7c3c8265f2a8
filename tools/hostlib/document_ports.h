// Rimeflower host: the document description and its channel ports.
//
// A host describes the document it filters: mode, depth and bounds, the
// target layer's colour and transparency channels, the merged image of a
// flat document, and (from version 2 of the description) the list of every
// layer from the bottom up with its own channels. Each channel has a port
// that the module reads pixels through, with the record's channel-port
// procedure or with the channel-ports suite. Ports address the document's
// pixel coordinates; a layer covers the whole document.
//
// The callbacks carry no context, so one description is current at a time.
#pragma once

#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "host/interface/host_interface.h"
#include "tools/hostlib/host_document.h"

namespace rf::tools {

// What a flat document's one layer is called, as editors name it.
constexpr const char* kFlatLayerName = "Background";

// The identifier of the layer at `index` (from the bottom), as the layer
// list gives it and action references take it.
inline uint32_t SheetID(size_t index) { return uint32_t(index) + 2; }

struct PortOptions {
  // Describe the layer list (version 3); false: version 0, target and merged
  // channels only, as minimal hosts do.
  bool layerList = true;
  // The ports of this layer (index from the bottom) cannot be read.
  int32_t unreadableLayer = -1;
};

class DocumentPorts {
 public:
  DocumentPorts();
  DocumentPorts(const DocumentPorts&) = delete;
  DocumentPorts& operator=(const DocumentPorts&) = delete;
  ~DocumentPorts();

  // Describes `doc`; the target layer's pixels are read from `target` (the
  // document's planes as the host delivers them). Both must outlive the
  // description. Makes this description the current one.
  void Describe(const HostDocument& doc, const std::vector<uint8_t>& target, const PortOptions& options);
  // Forgets the description (and stops being current).
  void Clear();

  host::ReadImageDocumentDesc* Description() { return described_ ? &description_ : nullptr; }
  host::ChannelPortProcs* RecordProcs() { return &recordProcs_; }
  const host::ChannelPortsSuiteProcs* Suite() const { return &suite_; }

  // How many reads each layer's ports answered since Describe (index from
  // the bottom; a flat document is layer 0).
  int64_t ReadsOf(size_t layer) const { return layer < reads_.size() ? reads_[layer] : 0; }

  struct Port {
    const uint8_t* pixels = nullptr;  // interleaved planes
    int32_t planes = 0;               // planes per pixel in `pixels`
    int32_t plane = 0;                // the plane this port reads
    size_t layer = 0;
    bool readable = true;
  };
  // The port behind an opaque value the module passed, or null.
  const Port* FindPort(host::PIChannelPort port) const;
  int16_t Read(const Port& port, const host::PixelMemoryDesc* destination, const host::VRect& area,
               int32_t destinationLeft, int32_t destinationTop, const host::PSScaling* scaling);
  const HostDocument* document() const { return doc_; }

 private:
  host::ReadChannelDesc* AddChannels(const uint8_t* pixels, int32_t planes, size_t layer, bool target,
                                     bool withTransparency, host::ReadChannelDesc** transparency);

  const HostDocument* doc_ = nullptr;
  bool described_ = false;
  host::ReadImageDocumentDesc description_{};
  host::ChannelPortProcs recordProcs_{};
  host::ChannelPortsSuiteProcs suite_{};
  PortOptions options_;
  // Deques: the records point at one another and must not move.
  std::deque<Port> ports_;
  std::set<const void*> portSet_;  // to tell our ports from anything else
  std::deque<host::ReadChannelDesc> channels_;
  std::deque<host::ReadLayerDesc> layers_;
  std::deque<std::u16string> unicodeNames_;
  std::vector<int64_t> reads_;
};

// UTF-8 to UTF-16 (malformed bytes become U+FFFD).
std::u16string Utf16FromUtf8(const std::string& utf8);

}  // namespace rf::tools
