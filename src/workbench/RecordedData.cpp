#include "workbench/RecordedData.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <vector>

#include "ep2/DocumentText.h"
#include "ep2/MessageTree.h"
#include "support/StringUnit.h"
#include "support/XmlLine.h"
#include "workbench/Archive.h"
#include "workbench/FilePaths.h"
#include "workbench/ValuePools.h"
#include "xml/XMLDOM.h"

namespace kal {

namespace {

constexpr int kErrorDocument = 6001;

const TUAXxmlElement* FindElement(const TXMLMessageTree& tree, std::string_view name) {
  for (const TXMLTreeNode* n = tree.GetFirstNode(); n != nullptr; n = n->GetNext())
    if (n->GetData()->GetName() == name) return n->GetData();
  return nullptr;
}

bool HasXmlExtension(const std::string& name) {
  return name.size() > 4 && STRLowerCase(name.substr(name.size() - 4)) == ".xml";
}

// A new element of the container's document appended to `parent`.
TVxXMLElement* Append(TVxXMLElement& parent, const std::string& tag) {
  auto element = std::make_unique<TVxXMLElement>(UTFToDocumentText(tag), parent.GetOwnerDocument());
  TVxXMLElement* raw = element.get();
  parent.AppendChild(element.get());
  element.release();
  return raw;
}

}  // namespace

bool CEXTerminalFileName(std::string_view terminalId, std::string& name) {
  name.clear();
  for (const char c : terminalId) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == '/' || c == '\\') return false;
  }
  std::string trimmed = STRTrim(terminalId);
  if (trimmed.empty() || trimmed == "." || trimmed == "..") return false;
  name = std::move(trimmed);
  return true;
}

std::string CEXShownTerminalId(std::string_view terminalId) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  for (const char c : terminalId) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      shown += "\\x";
      shown += kHex[u >> 4];
      shown += kHex[u & 0xF];
    } else {
      shown += c;
    }
  }
  return shown;
}

std::string CEXRecordFolder(std::string folder) {
  std::replace(folder.begin(), folder.end(), '\\', '/');
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

int CEXIncludeSingleRecordedFile(const std::string& path, TVxXMLElement& container,
                                 std::string& errorText) {
  std::vector<std::string> lines;
  if (!CEXReadTextLines(path, CEXcMaxRecordedFileBytes, lines)) return 0;
  std::vector<TVxXMLElement*> parents;
  TVxXMLElement* current = &container;
  try {
    for (const std::string& raw : lines) {
      const std::string line = STRTrim(raw);
      const size_t close = line.find("</");
      std::string tag, value;
      if (close == std::string::npos) {
        if (line.find('>') == std::string::npos) continue;
        UXMParseXMLLine(line, tag, value);
        parents.push_back(current);
        current = Append(*current, tag);
      } else if (close >= 4) {
        UXMParseXMLLine(line, tag, value);
        TVxXMLElement* element = Append(*current, tag);
        value = UXMUnescapeText(value);
        if (!value.empty()) {
          auto text =
              std::make_unique<TVxXMLText>(UTFToDocumentText(value), element->GetOwnerDocument());
          element->AppendChild(text.get());
          text.release();
        }
      } else if (!parents.empty()) {
        current = parents.back();
        parents.pop_back();
      }
    }
  } catch (const std::exception& e) {
    errorText = e.what();
    return kErrorDocument;
  }
  return 0;
}

std::vector<std::string> CEXRecordedFiles(const std::string& folder, const TXMLMessageTree& tree) {
  std::vector<std::string> files;
  if (const TUAXxmlElement* terminal = FindElement(tree, "ep2:TrmID")) {
    std::string name;
    if (CEXTerminalFileName(CEXEffectiveValue(*terminal), name))
      files.push_back(folder + name + ".xml");
  } else if (FindElement(tree, "ep2:PMSID") != nullptr) {
    std::error_code ec;
    const std::filesystem::path dir =
        folder.empty() ? std::filesystem::path(".") : std::filesystem::path(folder);
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string name = it->path().filename().string();
      if (HasXmlExtension(name)) files.push_back(folder + name);
    }
    std::sort(files.begin(), files.end());
  }
  return files;
}

int CEXIncludeRecordedFile(const std::string& folder, const TXMLMessageTree& tree,
                           TVxXMLElement& container, TARCArchive& archive, std::string& errorText) {
  for (const std::string& file : CEXRecordedFiles(folder, tree)) {
    if (!CEXFileExists(file)) continue;
    if (const int rc = CEXIncludeSingleRecordedFile(file, container, errorText); rc != 0) return rc;
    static_cast<void>(archive.ARCCopyToArchive(file));
  }
  return 0;
}

}  // namespace kal
