#include "diag/TCSFormatterList.h"

TCSFormatter::~TCSFormatter() = default;

TCSFormatterList::~TCSFormatterList()
{
    Clear();
}

void TCSFormatterList::Add(std::unique_ptr<TCSFormatter> formatter)
{
    m_items.push_back(std::move(formatter));
}

void TCSFormatterList::Clear()
{
    // The entry leaves the list before it is destroyed, so a formatter whose
    // destructor looks at the list never sees itself half gone.
    while (!m_items.empty()) {
        std::unique_ptr<TCSFormatter> first = std::move(m_items.front());
        m_items.erase(m_items.begin());
        first.reset();
    }
}
