// The XML seam over XmlLite, Windows' own pull parser. The reader's events build a small tree
// that the handles point into; the document owns it, so handles stay valid until it is loaded
// again or destroyed. A document type declaration is refused (no entity is ever expanded) and
// elements nest at most kMaxDepth deep.
#include <windows.h>
// windows.h first: the COM headers need its types.
#include <objidl.h>
#include <shlwapi.h>
#include <xmllite.h>

#include <cstdio>
#include <deque>
#include <string>
#include <string_view>

#include "common/failure.hpp"
#include "common/number_text.hpp"
#include "platform/windows/wide_text.hpp"
#include "platform/xml_document.hpp"

namespace tovalix::platform {
namespace {

constexpr LONG_PTR kMaxDepth = 256;

struct TreeNode {
  enum class Kind { kElement, kText, kCData } kind = Kind::kElement;
  std::string name;   // the element's name
  std::string value;  // a text's or CDATA's content
  TreeNode* parent = nullptr;
  TreeNode* first = nullptr;
  TreeNode* last = nullptr;
  TreeNode* next = nullptr;
  TreeNode* previous = nullptr;
};

// Releases a COM interface when it goes out of scope.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (p_ != nullptr) p_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T** out() { return &p_; }
  T* operator->() const { return p_; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

using CreateXmlReaderFunction = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

// xmllite.dll is part of every Windows since XP SP3; mingw-w64 ships no import library for it.
CreateXmlReaderFunction CreateReaderFunction() {
  static const CreateXmlReaderFunction function = [] {
    HMODULE module = LoadLibraryW(L"xmllite.dll");
    return module == nullptr ? nullptr
                             : reinterpret_cast<CreateXmlReaderFunction>(reinterpret_cast<void*>(
                                   GetProcAddress(module, "CreateXmlReader")));
  }();
  if (function == nullptr) throw Failure("No se encontró el lector XML del sistema (xmllite.dll)");
  return function;
}

[[noreturn]] void NotXml(const std::string& why) {
  throw Failure("La respuesta no es un documento XML válido (" + why + ")");
}

class XmlLiteDocument final : public XmlDocument {
 public:
  void Load(std::string_view text) override {
    nodes_.clear();
    root_ = nullptr;
    try {
      Parse(text);
    } catch (...) {
      nodes_.clear();
      root_ = nullptr;
      throw;
    }
    if (root_ == nullptr) NotXml("no tiene elemento raíz");
  }

  XmlNode Root() const override;

 private:
  void Parse(std::string_view text) {
    if (text.size() > MAXDWORD) NotXml("demasiado grande");
    ComRef<IStream> stream;
    *stream.out() = SHCreateMemStream(reinterpret_cast<const BYTE*>(text.data()),
                                      static_cast<UINT>(text.size()));
    if (stream.get() == nullptr) throw Failure("Memoria insuficiente");
    ComRef<IXmlReader> reader;
    if (FAILED(CreateReaderFunction()(__uuidof(IXmlReader), reinterpret_cast<void**>(reader.out()),
                                      nullptr)) ||
        FAILED(reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit)) ||
        FAILED(reader->SetProperty(XmlReaderProperty_MaxElementDepth, kMaxDepth + 2)) ||
        FAILED(reader->SetInput(stream.get()))) {
      throw Failure("No se pudo preparar el lector XML del sistema");
    }
    TreeNode* open = nullptr;  // the element whose children are being read
    LONG_PTR open_depth = 0;   // how deep `open` lies (the root at 1)
    XmlNodeType type = XmlNodeType_None;
    HRESULT result = S_OK;
    while ((result = reader->Read(&type)) == S_OK) {
      switch (type) {
        case XmlNodeType_Element: {
          const bool empty = reader->IsEmptyElement() != FALSE;
          const WCHAR* name = nullptr;
          UINT length = 0;
          if (FAILED(reader->GetQualifiedName(&name, &length))) NotXml("nombre ilegible");
          if (open_depth >= kMaxDepth) TooDeep();
          TreeNode& node = Add(open, TreeNode::Kind::kElement);
          node.name = NarrowText(std::wstring_view(name, length));
          if (open == nullptr) {
            if (root_ != nullptr) NotXml("más de un elemento raíz");
            root_ = &node;
          }
          if (!empty) {
            open = &node;
            ++open_depth;
          }
          break;
        }
        case XmlNodeType_EndElement:
          if (open != nullptr) {
            open = open->parent;
            --open_depth;
          }
          break;
        case XmlNodeType_Text:
        case XmlNodeType_CDATA: {
          const WCHAR* value = nullptr;
          UINT length = 0;
          if (FAILED(reader->GetValue(&value, &length))) NotXml("texto ilegible");
          if (open == nullptr) break;  // only white space may stand outside the root
          const std::string content = NarrowText(std::wstring_view(value, length));
          if (type == XmlNodeType_Text && TrimWhiteSpace(content).empty()) break;
          Add(open, type == XmlNodeType_Text ? TreeNode::Kind::kText : TreeNode::Kind::kCData)
              .value = content;
          break;
        }
        default:
          break;  // declaration, comments, processing instructions, white space
      }
    }
    // The two refusals of a hostile answer say what they refused, as on every system.
    if (result == static_cast<HRESULT>(WC_E_DTDPROHIBITED))
      NotXml("trae una definición de tipo de documento");
    if (result == static_cast<HRESULT>(SC_E_MAXELEMENTDEPTH)) TooDeep();
    if (FAILED(result)) {
      UINT line = 0;
      UINT column = 0;
      reader->GetLineNumber(&line);
      reader->GetLinePosition(&column);
      char code[16];
      std::snprintf(code, sizeof code, "%08lX", static_cast<unsigned long>(result));
      NotXml(std::string("error 0x") + code + ", línea " + std::to_string(line) + ", columna " +
             std::to_string(column));
    }
  }

  // The depth is counted here, as on every system; the reader's own limit, a little looser
  // (it counts differently), only stops it from reading further.
  [[noreturn]] static void TooDeep() {
    NotXml("anida más de " + std::to_string(kMaxDepth) + " elementos");
  }

  TreeNode& Add(TreeNode* parent, TreeNode::Kind kind) {
    TreeNode& node = nodes_.emplace_back();
    node.kind = kind;
    node.parent = parent;
    if (parent != nullptr) {
      node.previous = parent->last;
      if (parent->last != nullptr) parent->last->next = &node;
      if (parent->first == nullptr) parent->first = &node;
      parent->last = &node;
    }
    return node;
  }

  std::deque<TreeNode> nodes_;  // a deque never moves what it holds
  TreeNode* root_ = nullptr;
};

}  // namespace

class XmlAccess {
 public:
  static const TreeNode* Of(const XmlNode& node) {
    return static_cast<const TreeNode*>(node.node_);
  }
  static XmlNode Wrap(const TreeNode* node) { return node != nullptr ? XmlNode(node) : XmlNode(); }
};

XmlNode XmlLiteDocument::Root() const {
  return XmlAccess::Wrap(root_);
}

std::string XmlNode::Name() const {
  const TreeNode* node = XmlAccess::Of(*this);
  if (node == nullptr) return "";
  switch (node->kind) {
    case TreeNode::Kind::kElement:
      return node->name;
    case TreeNode::Kind::kText:
      return "#text";
    case TreeNode::Kind::kCData:
      return "#cdata-section";
  }
  return "";
}

std::string XmlNode::Text() const {
  const TreeNode* start = XmlAccess::Of(*this);
  if (start == nullptr) return "";
  if (start->kind != TreeNode::Kind::kElement) return std::string(TrimWhiteSpace(start->value));
  // Walk the descendants without recursion: answers may nest deep.
  std::string text;
  const TreeNode* node = start->first;
  while (node != nullptr) {
    if (node->kind != TreeNode::Kind::kElement) text += node->value;
    if (node->first != nullptr) {
      node = node->first;
      continue;
    }
    while (node != nullptr && node != start && node->next == nullptr) node = node->parent;
    if (node == nullptr || node == start) break;
    node = node->next;
  }
  return std::string(TrimWhiteSpace(text));
}

bool XmlNode::HasChildren() const {
  const TreeNode* node = XmlAccess::Of(*this);
  return node != nullptr && node->first != nullptr;
}

XmlNode XmlNode::FirstChild() const {
  const TreeNode* node = XmlAccess::Of(*this);
  return XmlAccess::Wrap(node == nullptr ? nullptr : node->first);
}

XmlNode XmlNode::NextSibling() const {
  const TreeNode* node = XmlAccess::Of(*this);
  return XmlAccess::Wrap(node == nullptr ? nullptr : node->next);
}

XmlNode XmlNode::PreviousSibling() const {
  const TreeNode* node = XmlAccess::Of(*this);
  return XmlAccess::Wrap(node == nullptr ? nullptr : node->previous);
}

XmlNode XmlNode::Child(std::size_t index) const {
  const TreeNode* node = XmlAccess::Of(*this);
  node = node == nullptr ? nullptr : node->first;
  for (std::size_t i = 0; node != nullptr && i < index; ++i) node = node->next;
  return XmlAccess::Wrap(node);
}

XmlNode XmlNode::ChildElement(std::string_view name) const {
  const TreeNode* parent = XmlAccess::Of(*this);
  for (const TreeNode* node = parent == nullptr ? nullptr : parent->first; node != nullptr;
       node = node->next) {
    if (node->kind == TreeNode::Kind::kElement && node->name == name) return XmlAccess::Wrap(node);
  }
  return XmlNode();
}

std::unique_ptr<XmlDocument> MakeXmlDocument() {
  return std::make_unique<XmlLiteDocument>();
}

}  // namespace tovalix::platform
