// The XML seam: a read-only document loaded from text, walked from its root element through
// child nodes in document order. The airtime service answers in XML; its readers take
// elements by name and, where the service's documents leave names open, by position.
// Exactly one backend per platform implements it (posix/pugixml_document.cpp).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace tovalix::platform {

// A node of a loaded document: an element, a text or a CDATA section. A handle, cheap to copy,
// valid while its document lives and is not loaded again. A default-made handle is null; on a
// null handle Name and Text give "", HasChildren false and every navigation gives null.
class XmlNode {
 public:
  XmlNode() = default;

  bool IsNull() const { return node_ == nullptr; }

  // The element's name as written (case kept), "#text" for a text, "#cdata-section" for CDATA.
  std::string Name() const;

  // The node's text: for a text or CDATA its content, for an element the texts of all its
  // descendants joined in document order; white space at both ends removed.
  std::string Text() const;

  bool HasChildren() const;
  // Navigation in document order; null when there is no such node.
  XmlNode FirstChild() const;
  XmlNode NextSibling() const;
  XmlNode PreviousSibling() const;

  // The child node at `index` (0 is the first). Null when it has fewer children.
  XmlNode Child(std::size_t index) const;

  // The first child element whose name is exactly `name` (case-sensitive). Null when none.
  XmlNode ChildElement(std::string_view name) const;

 private:
  friend class XmlAccess;
  explicit XmlNode(const void* node) : node_(node) {}
  const void* node_ = nullptr;
};

// One document per answer. Comments, processing instructions, the declaration and texts made
// only of white space are not nodes of it.
class XmlDocument {
 public:
  virtual ~XmlDocument() = default;

  // Parses `text` (UTF-8, or the encoding its byte order mark or declaration names), replacing
  // what was loaded before. Throws Failure, naming the place, when it is not well-formed XML or
  // has no root element; nothing is loaded then. Any bytes are safe to hand in.
  virtual void Load(std::string_view text) = 0;

  // The root element; null before a successful Load.
  virtual XmlNode Root() const = 0;
};

// The platform's backend. Never returns null.
std::unique_ptr<XmlDocument> MakeXmlDocument();

}  // namespace tovalix::platform
