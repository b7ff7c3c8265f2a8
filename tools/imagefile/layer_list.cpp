#include "tools/imagefile/layer_list.h"

#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "platform/platform.h"
#include "tools/imagefile/document_image.h"

namespace rf::tools {

namespace {

constexpr const char* kMagic = "rimeflower layers";
constexpr long kMaxListBytes = 1 << 20;
// What all layers together may take, beside the document itself.
constexpr uint64_t kMaxLayerBytes = 2ull << 30;

struct FileCloser {
  void operator()(FILE* f) const {
    if (f) std::fclose(f);
  }
};

bool ReadText(const std::string& path, std::string& text, std::string& error) {
  std::unique_ptr<FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    error = "cannot open '" + path + "'";
    return false;
  }
  text.clear();
  char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f.get())) > 0) {
    text.append(chunk, n);
    if (text.size() > size_t(kMaxListBytes)) {
      error = "'" + path + "' is larger than a layer list can be (1 MB)";
      return false;
    }
  }
  return true;
}

// Splits a line into words: blanks separate, double quotes group, and inside
// quotes \" and \\ stand for themselves.
bool Words(const std::string& line, std::vector<std::string>& words, std::string& error) {
  words.clear();
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t') {
      ++i;
      continue;
    }
    std::string word;
    if (line[i] == '"') {
      ++i;
      bool closed = false;
      while (i < line.size()) {
        const char c = line[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        if (c == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\')) {
          word += line[i++];
          continue;
        }
        word += c;
      }
      if (!closed) {
        error = "a quote is not closed";
        return false;
      }
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t') word += line[i++];
    }
    words.push_back(word);
  }
  return true;
}

struct Entry {
  std::string file, name;
  bool hidden = false, target = false;
  int line = 0;
};

std::string Folder(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i)
    if (platform::IsPathSeparator(path[i - 1])) return path.substr(0, i);
  return "";
}

bool IsAbsolute(const std::string& path) {
  return (!path.empty() && platform::IsPathSeparator(path[0])) || (path.size() > 1 && path[1] == ':');
}

std::string Stem(const std::string& file) {
  const std::string base = file.substr(Folder(file).size());
  const size_t dot = base.rfind('.');
  return dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
}

bool ParseList(const std::string& text, std::vector<Entry>& entries, std::string& error) {
  bool sawMagic = false;
  int number = 0;
  size_t start = 0;
  std::vector<std::string> words;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string at = "line " + std::to_string(number) + ": ";
    if (!sawMagic) {
      if (line != kMagic) {
        error = "not a layer list (its first line must be '" + std::string(kMagic) + "')";
        return false;
      }
      sawMagic = true;
      continue;
    }
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    if (!Words(line, words, error)) {
      error = at + error;
      return false;
    }
    if (words[0] != "layer" || words.size() < 2) {
      error = at + (words[0] == "layer" ? "a layer needs a file" : "expected 'layer FILE ...', not '" + words[0] + "'");
      return false;
    }
    Entry e;
    e.file = words[1];
    e.name = Stem(e.file);
    e.line = number;
    for (size_t w = 2; w < words.size(); ++w) {
      if (words[w] == "hidden") {
        e.hidden = true;
      } else if (words[w] == "target") {
        e.target = true;
      } else if (words[w] == "name" && w + 1 < words.size()) {
        e.name = words[++w];
      } else {
        error = at + (words[w] == "name" ? "'name' needs a name" : "unknown word '" + words[w] + "'");
        return false;
      }
    }
    if (entries.size() == kMaxListLayers) {
      error = at + "more than " + std::to_string(kMaxListLayers) + " layers";
      return false;
    }
    entries.push_back(e);
  }
  if (entries.empty()) {
    error = "the list names no layer";
    return false;
  }
  const Entry* target = nullptr;
  for (const Entry& e : entries) {
    if (!e.target) continue;
    if (target) {
      error = "lines " + std::to_string(target->line) + " and " + std::to_string(e.line) + " both mark the target";
      return false;
    }
    target = &e;
  }
  if (!target) error = "no layer is marked 'target'";
  return target != nullptr;
}

std::string Describe(const Image& image) {
  return std::to_string(image.width) + " x " + std::to_string(image.height) + " " +
         (image.mode == ImageMode::CMYK ? "CMYK" : "RGB");
}

}  // namespace

bool IsLayerList(const std::string& path) {
  std::unique_ptr<FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
  if (!f) return false;
  char head[17] = {};
  return std::fread(head, 1, sizeof head, f.get()) == sizeof head && std::string(head, sizeof head) == kMagic;
}

bool ReadLayerList(const std::string& path, HostDocument& doc, Image& target, std::string& error) {
  std::string text;
  std::vector<Entry> entries;
  if (!ReadText(path, text, error)) return false;
  if (!ParseList(text, entries, error)) {
    error = "'" + path + "': " + error;
    return false;
  }
  const std::string folder = Folder(path);
  size_t targetIndex = 0;
  while (!entries[targetIndex].target) ++targetIndex;

  auto fileOf = [&](const Entry& e) { return IsAbsolute(e.file) ? e.file : folder + e.file; };
  auto layerAt = [&](const Entry& e) { return "layer '" + e.name + "' (line " + std::to_string(e.line) + ")"; };
  std::string why;
  if (!ReadImage(fileOf(entries[targetIndex]), target, why) || !DocumentFromImage(target, doc, why)) {
    error = layerAt(entries[targetIndex]) + ": " + why;
    return false;
  }
  const bool cmyk = target.mode == ImageMode::CMYK;
  uint64_t bytes = 0;
  doc.layers.clear();
  try {
    doc.layers.reserve(entries.size());
  } catch (const std::bad_alloc&) {
    error = "not enough memory for the layers";
    return false;
  }
  for (size_t i = 0; i < entries.size(); ++i) {
    const Entry& e = entries[i];
    HostLayer layer;
    layer.name = e.name;
    layer.visible = !e.hidden;
    layer.hasTransparency = i == targetIndex ? doc.hasTransparency : false;
    if (i != targetIndex) {
      Image image;
      HostDocument one;
      if (!ReadImage(fileOf(e), image, why)) {
        error = layerAt(e) + ": " + why;
        return false;
      }
      if (image.width != target.width || image.height != target.height || (image.mode == ImageMode::CMYK) != cmyk) {
        error = layerAt(e) + " is " + Describe(image) + ", the target " + Describe(target) +
                "; every layer must match the target";
        return false;
      }
      bytes += uint64_t(image.RowBytes()) * uint64_t(image.height);
      if (bytes > kMaxLayerBytes) {
        error = "the layers would take more than " + std::to_string(kMaxLayerBytes >> 20) + " MB";
        return false;
      }
      if (!DocumentFromImage(image, one, why)) {
        error = layerAt(e) + ": " + why;
        return false;
      }
      layer.hasTransparency = one.hasTransparency;
      layer.pixels.swap(one.pixels);
    }
    doc.layers.push_back(std::move(layer));
  }
  doc.targetLayer = int32_t(targetIndex);
  return true;
}

}  // namespace rf::tools
