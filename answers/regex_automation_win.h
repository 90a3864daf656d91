// The built-in stand-in for the scripting component "VBScript.RegExp": an
// automation object driven by member name like the component, with the
// built-in engine (answers/regex_engine.h) underneath. RegexObject uses it
// where the component cannot be created, through the very same calls.
//
// Members, as the component has them (names compare without case):
//   expression: Pattern, IgnoreCase, Global, Multiline (read and write),
//               Execute(subject) -> match collection, Test(subject) -> bool,
//               Replace(subject, replacement) -> text. Execute, Test and
//               Replace fail (an error result) when the pattern is rejected.
//   match collection: Count, Item(index from 0) (the default member)
//   match: Value (the default member), FirstIndex (UTF-16 units), Length,
//          SubMatches
//   sub-matches: Count, Item(index from 0) (the default member): the text,
//          or an empty variant for a group that took no part
// An index out of range fails. Nothing is registered with COM.
//
// Tested by tests/answers/regex_object_win_test.cpp.
#pragma once

#include "app/scoped_win.h"

ComPtr<IDispatch> createBuiltInRegExp();
