// Late-bound automation: create objects by ProgID and use their members by
// name through IDispatch. Every failure yields an empty value (an empty
// Variant, empty text, 0, a null pointer) and nothing is raised.
//
// Example:
//   auto re = createAutomationObject(L"VBScript.RegExp");
//   putProperty(re.Get(), L"Pattern", textVariant("a+"));
//   Variant matches = invokeMember(re.Get(), L"Execute", {textVariant("caab")});
//
// Tested by tests/app/dispatch_win_test.cpp.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <initializer_list>
#include <string_view>

#include "app/scoped_win.h"
#include "app/text.h"

ComPtr<IDispatch> createAutomationObject(const wchar_t* progId);

// Calls a method or reads a property (with arguments for an indexed one).
// Arguments are given in their natural order.
Variant invokeMember(IDispatch* object, const wchar_t* name,
                     std::initializer_list<const Variant*> args = {});
// Writes a property; false when the object refused it.
bool putProperty(IDispatch* object, const wchar_t* name, const Variant& value);

Variant textVariant(std::string_view text);
Variant wideVariant(std::wstring_view text);
Variant boolVariant(bool value);
Variant intVariant(int value);
Variant doubleVariant(double value);

// Reads a value as a Text (code page 936), a wide string, a number or an
// object. Values of another type are converted as automation converts them.
Text textOf(const Variant& value);
std::wstring wideOf(const Variant& value);
double numberOf(const Variant& value);
ComPtr<IDispatch> dispatchOf(const Variant& value);
