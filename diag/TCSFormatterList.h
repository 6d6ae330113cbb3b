#pragma once

#include <memory>
#include <vector>

// A formatter that turns a value of some type into a diagnostic text. The
// client defines no formatters itself; the manager only keeps them.
class TCSFormatter
{
public:
    virtual ~TCSFormatter();
};

// The manager's owning list of formatters: clearing or destroying it
// destroys every entry, always the first one next.
class TCSFormatterList
{
public:
    TCSFormatterList() = default;
    TCSFormatterList(const TCSFormatterList &) = delete;
    TCSFormatterList &operator=(const TCSFormatterList &) = delete;
    ~TCSFormatterList();

    void Add(std::unique_ptr<TCSFormatter> formatter);
    int Count() const { return static_cast<int>(m_items.size()); }
    TCSFormatter *Item(int index) const { return m_items.at(static_cast<size_t>(index)).get(); }
    void Clear();

private:
    std::vector<std::unique_ptr<TCSFormatter>> m_items;
};
