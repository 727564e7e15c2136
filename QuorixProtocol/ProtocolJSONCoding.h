#pragma once

// Private to the coder: what its decoding and its encoding half share.

#include "QuorixProtocol/Messages.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <variant>

namespace quorix::ProtocolJSONCoding {

/// Where a value sits in a document: a chain of frames on the stack, turned into text
/// ("layout.pages[0].buttons[2].icon") only when something fails there.
class JSONPath {
public:
    JSONPath() = default;

    JSONPath key(std::string_view name) const { return JSONPath(this, name, 0); }
    JSONPath index(std::size_t position) const { return JSONPath(this, {}, position); }

    std::string text() const {
        std::string result;
        append(result);
        return result;
    }

private:
    JSONPath(const JSONPath* parent, std::string_view name, std::size_t position)
        : m_parent(parent)
        , m_name(name)
        , m_index(position) {}

    void append(std::string& result) const {
        if (m_parent == nullptr) {
            return;
        }
        m_parent->append(result);
        if (m_name.empty()) {
            result += '[' + std::to_string(m_index) + ']';
            return;
        }
        if (!result.empty()) {
            result += '.';
        }
        result += m_name;
    }

    const JSONPath* m_parent = nullptr;
    std::string_view m_name;
    std::size_t m_index = 0;
};

/// The "type" texts of a tagged union written as one JSON object, in the order of the
/// alternatives of its `value`. Decoding finds the alternative by its text here and
/// encoding writes the text of the alternative it holds, so no text is written twice.
template <typename Union>
struct Kinds;

template <typename Union, std::size_t Count>
struct KindTable {
    static_assert(Count == std::variant_size_v<decltype(Union::value)>,
                  "one type text for each alternative");
    std::array<std::string_view, Count> names;
};

template <>
struct Kinds<ActionSpec> {
    static constexpr KindTable<ActionSpec, 5> table{
        {"keyboardShortcut", "launchApp", "openURL", "macro", "shellCommand"}};
};

template <>
struct Kinds<IconRef> {
    static constexpr KindTable<IconRef, 4> table{{"sfSymbol", "favicon", "appIcon", "custom"}};
};

template <>
struct Kinds<QuorixClientMessage> {
    static constexpr KindTable<QuorixClientMessage, 7> table{
        {"auth_request", "auth_resume", "execute", "layout_update", "capture_keys", "request_state",
         "list_apps"}};
};

template <>
struct Kinds<QuorixServerMessage> {
    static constexpr KindTable<QuorixServerMessage, 6> table{{"auth_success", "auth_failure",
                                                              "execute_result", "captured_keys",
                                                              "apps_list", "layout_changed"}};
};

template <typename T>
concept TaggedUnion = requires {
    Kinds<T>::table.names;
};

/// The "type" text of the alternative `value` holds.
template <TaggedUnion Union>
std::string_view kindName(const Union& value) {
    return Kinds<Union>::table.names[value.value.index()];
}

} // namespace quorix::ProtocolJSONCoding
