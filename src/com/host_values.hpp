// What a host hands the control inside a Variant besides plain texts and numbers: a dictionary
// object (a Scripting.Dictionary, or any object with the methods Keys and Items) and a
// one-dimensional array. Variables a script passes by reference arrive as references, possibly
// to references; both are followed.
#pragma once

#include <oaidl.h>

#include <string>
#include <vector>

#include <tovalix/dictionary.hpp>

namespace tovalix::com {

// The entries of the dictionary object in `value`, keys and items as texts in the object's
// order. A failure (not an object, no Keys or Items, two keys with the same text) returns its
// HRESULT with error information for `iid` set.
HRESULT ReadDictionary(const VARIANT& value, Dictionary& entries, REFIID iid);

// Every element of the one-dimensional array in `value`, from its lower to its upper bound, as
// texts. An array that was never dimensioned holds no element.
HRESULT ReadList(const VARIANT& value, std::vector<std::string>& elements, REFIID iid);

}  // namespace tovalix::com
