#pragma once

#include <functional>
#include <memory>
#include <mutex>

// A service made only when first needed, at most once, from whichever thread needs it first: a
// stand-in for what a library loaded on demand makes, or a fallback that would load one, costs
// nothing until it is used.
template <typename Service> class OnDemand {
public:
    // May return nothing; that is kept too.
    using Factory = std::function<std::shared_ptr<Service>()>;

    explicit OnDemand(Factory factory)
        : m_factory(std::move(factory))
    {
    }

    const std::shared_ptr<Service>& get() const
    {
        std::call_once(m_once, [this] {
            if (m_factory)
                m_service = m_factory();
            m_factory = nullptr;
        });
        return m_service;
    }

private:
    mutable Factory m_factory;
    mutable std::once_flag m_once;
    mutable std::shared_ptr<Service> m_service;
};
