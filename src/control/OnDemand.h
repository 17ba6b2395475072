#pragma once

#include <functional>
#include <memory>

// A service made only when first needed, at most once: a fallback that would load a display
// library costs nothing until the desktop instance cannot serve.
template <typename Service> class OnDemand {
public:
    // May return nothing; that is kept too.
    using Factory = std::function<std::shared_ptr<Service>()>;

    explicit OnDemand(Factory factory)
        : m_factory(std::move(factory))
    {
    }

    std::shared_ptr<Service> get()
    {
        if (m_factory) {
            m_service = m_factory();
            m_factory = nullptr;
        }
        return m_service;
    }

private:
    Factory m_factory;
    std::shared_ptr<Service> m_service;
};
