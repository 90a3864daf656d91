// Tested by tests/answers/regex_object_win_test.cpp.
#include "answers/regex_object_win.h"

#include "answers/regex_automation_win.h"
#include "app/dispatch_win.h"

RegexObject::RegexObject(RegexEngineChoice choice)
    : choice_(choice), apartment_(::CoInitialize(nullptr)) {}

RegexObject::~RegexObject() {
    expression.Reset();
    subject.clear();
    // Only a successful CoInitialize is balanced: on a thread already in the
    // multithreaded apartment it fails, and an unpaired CoUninitialize would
    // end the owner's initialisation.
    if (SUCCEEDED(apartment_)) ::CoUninitialize();
    matches.Reset();
}

bool RegexObject::execute(std::string_view pattern, std::string_view subjectText,
                          bool caseSensitive, bool multiline, bool global) {
    expression.Reset();
    if (choice_ == RegexEngineChoice::componentFirst) {
        expression = createAutomationObject(L"VBScript.RegExp");
    }
    if (!expression) expression = createBuiltInRegExp();
    IDispatch* re = expression.Get();
    putProperty(re, L"IgnoreCase", boolVariant(!caseSensitive));
    putProperty(re, L"Multiline", boolVariant(multiline));
    // The component has no such member: the write fails and changes nothing.
    putProperty(re, L"Singleline", boolVariant(true));
    putProperty(re, L"Global", boolVariant(global));
    putProperty(re, L"Pattern", textVariant(pattern));
    Variant subjectArg = textVariant(subjectText);
    Variant result = invokeMember(re, L"Execute", {&subjectArg});
    matches = dispatchOf(result);
    subject = Text(subjectText);
    return matches != nullptr;
}

Text RegexObject::patternText() { return textOf(invokeMember(expression.Get(), L"Pattern")); }

Text RegexObject::replace(std::string_view replacement) {
    Variant subjectArg = textVariant(subject);
    Variant replacementArg = textVariant(replacement);
    return textOf(invokeMember(expression.Get(), L"Replace", {&subjectArg, &replacementArg}));
}

int RegexObject::matchCount() {
    return static_cast<int>(numberOf(invokeMember(matches.Get(), L"Count")));
}

ComPtr<IDispatch> RegexObject::match(int index) {
    // In floating point, so that index 0x80000000 - 1 cannot overflow.
    Variant item = doubleVariant(static_cast<double>(index) - 1);
    return dispatchOf(invokeMember(matches.Get(), L"Item", {&item}));
}

int RegexObject::positionOf(IDispatch* found, std::string_view text) {
    int start = static_cast<int>(numberOf(invokeMember(found, L"FirstIndex")));
    // Case is ignored exactly when the expression reads back "0", that is,
    // when it is itself case-sensitive.
    bool ignoreCase = textOf(invokeMember(expression.Get(), L"IgnoreCase")) == "0";
    int at = findText(subject, text, start, ignoreCase);
    return static_cast<int>(static_cast<double>(at) - 1);
}

Text RegexObject::matchText(int index, int* position) {
    ComPtr<IDispatch> found = match(index);
    Text value = textOf(invokeMember(found.Get(), L"Value"));
    if (position) *position = positionOf(found.Get(), value);
    return value;
}

Text RegexObject::subMatchText(int index, int subIndex, int* position) {
    ComPtr<IDispatch> found = match(index);
    ComPtr<IDispatch> groups = dispatchOf(invokeMember(found.Get(), L"SubMatches"));
    Variant item = doubleVariant(static_cast<double>(subIndex) - 1);
    Text value = textOf(invokeMember(groups.Get(), L"Item", {&item}));
    if (position) *position = positionOf(found.Get(), value);
    return value;
}

int RegexObject::subMatchCount() {
    ComPtr<IDispatch> first = match(1);
    ComPtr<IDispatch> groups = dispatchOf(invokeMember(first.Get(), L"SubMatches"));
    return static_cast<int>(numberOf(invokeMember(groups.Get(), L"Count")));
}
