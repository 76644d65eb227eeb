// The XML seam over pugixml. A handle carries pugixml's node pointer; the document owns the
// memory, so handles stay valid until it is loaded again or destroyed.
#include <pugixml.hpp>

#include <string>
#include <string_view>

#include "common/failure.hpp"
#include "common/number_text.hpp"
#include "platform/xml_document.hpp"

namespace tovalix::platform {

class XmlAccess {
 public:
  static pugi::xml_node Of(const XmlNode& node) {
    // pugixml's handles are built from its own node structs; the cast undoes the one in Wrap.
    return pugi::xml_node(static_cast<pugi::xml_node_struct*>(const_cast<void*>(node.node_)));
  }
  static XmlNode Wrap(pugi::xml_node node) {
    return node ? XmlNode(node.internal_object()) : XmlNode();
  }
};

namespace {

bool IsText(pugi::xml_node node) {
  return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

class PugiXmlDocument final : public XmlDocument {
 public:
  void Load(std::string_view text) override {
    // The default flags leave out comments, processing instructions, the declaration, texts
    // made only of white space; the document type is kept only to be refused, as Windows'
    // reader does: no answer of a web service carries one, and a hostile one would bring
    // entities. pugixml parses without recursion.
    const pugi::xml_parse_result parsed = document_.load_buffer(
        text.data(), text.size(), pugi::parse_default | pugi::parse_doctype, pugi::encoding_auto);
    if (!parsed)
      Refuse(std::string(parsed.description()) + ", posición " + std::to_string(parsed.offset));
    for (pugi::xml_node node = document_.first_child(); node; node = node.next_sibling()) {
      if (node.type() == pugi::node_doctype) Refuse("trae una definición de tipo de documento");
    }
    if (!document_.document_element()) Refuse("no tiene elemento raíz");
    if (DeeperThan(document_.document_element(), kMaxDepth)) {
      Refuse("anida más de " + std::to_string(kMaxDepth) + " elementos");
    }
  }

  XmlNode Root() const override { return XmlAccess::Wrap(document_.document_element()); }

 private:
  // Windows' reader stops at the same depth.
  static constexpr int kMaxDepth = 256;

  [[noreturn]] void Refuse(const std::string& why) {
    document_.reset();
    throw Failure("La respuesta no es un documento XML válido (" + why + ")");
  }

  // Whether an element lies deeper than `limit` (the root is at 1). Walks without recursion:
  // the tree may be far deeper than the stack.
  static bool DeeperThan(pugi::xml_node root, int limit) {
    int depth = 1;
    pugi::xml_node node = root;
    while (node) {
      if (depth > limit && node.type() == pugi::node_element) return true;
      if (node.first_child()) {
        node = node.first_child();
        ++depth;
        continue;
      }
      while (node != root && !node.next_sibling()) {
        node = node.parent();
        --depth;
      }
      if (node == root) break;
      node = node.next_sibling();
    }
    return false;
  }

  pugi::xml_document document_;
};

}  // namespace

std::string XmlNode::Name() const {
  const pugi::xml_node node = XmlAccess::Of(*this);
  switch (node.type()) {
    case pugi::node_element:
      return node.name();
    case pugi::node_pcdata:
      return "#text";
    case pugi::node_cdata:
      return "#cdata-section";
    default:
      return "";
  }
}

std::string XmlNode::Text() const {
  const pugi::xml_node start = XmlAccess::Of(*this);
  if (!start) return "";
  if (IsText(start)) return std::string(TrimWhiteSpace(start.value()));
  // Walk the descendants without recursion: answers may nest deeper than the stack allows.
  std::string text;
  pugi::xml_node node = start.first_child();
  while (node) {
    if (IsText(node)) text += node.value();
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node && node != start && !node.next_sibling()) node = node.parent();
    if (!node || node == start) break;
    node = node.next_sibling();
  }
  return std::string(TrimWhiteSpace(text));
}

bool XmlNode::HasChildren() const {
  return static_cast<bool>(XmlAccess::Of(*this).first_child());
}

XmlNode XmlNode::FirstChild() const {
  return XmlAccess::Wrap(XmlAccess::Of(*this).first_child());
}

XmlNode XmlNode::NextSibling() const {
  return XmlAccess::Wrap(XmlAccess::Of(*this).next_sibling());
}

XmlNode XmlNode::PreviousSibling() const {
  return XmlAccess::Wrap(XmlAccess::Of(*this).previous_sibling());
}

XmlNode XmlNode::Child(std::size_t index) const {
  pugi::xml_node node = XmlAccess::Of(*this).first_child();
  for (std::size_t i = 0; node && i < index; ++i) node = node.next_sibling();
  return XmlAccess::Wrap(node);
}

XmlNode XmlNode::ChildElement(std::string_view name) const {
  for (pugi::xml_node node = XmlAccess::Of(*this).first_child(); node; node = node.next_sibling()) {
    if (node.type() == pugi::node_element && name == node.name()) return XmlAccess::Wrap(node);
  }
  return XmlNode();
}

std::unique_ptr<XmlDocument> MakeXmlDocument() {
  return std::make_unique<PugiXmlDocument>();
}

}  // namespace tovalix::platform
