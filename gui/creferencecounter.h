// SPDX-License-Identifier: GPL-3.0-or-later
// Shared ownership for views, bitmaps and draw contexts: the creator holds the first reference.
#pragma once

#include <cstdint>

namespace gui {

class CReferenceCounter {
public:
    CReferenceCounter() = default;
    CReferenceCounter(const CReferenceCounter&) = delete;
    CReferenceCounter& operator=(const CReferenceCounter&) = delete;
    virtual ~CReferenceCounter() = default;

    virtual void forget()
    {
        if (nbReference-- == 1)
            delete this;
    }
    virtual void remember() { ++nbReference; }
    int32_t getNbReference() const { return nbReference; }

private:
    int32_t nbReference = 1;
};

} // namespace gui
