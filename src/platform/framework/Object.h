// The framework's root object with its run-time class information.
#pragma once

struct CRuntimeClass {
    const char* m_lpszClassName;
    const CRuntimeClass* m_pBaseClass;

    bool IsDerivedFrom(const CRuntimeClass* pBase) const
    {
        for (const CRuntimeClass* p = this; p != nullptr; p = p->m_pBaseClass)
            if (p == pBase)
                return true;
        return false;
    }
};

class CObject {
public:
    virtual ~CObject() = default;
    virtual const CRuntimeClass* GetRuntimeClass() const { return &classCObject; }
    bool IsKindOf(const CRuntimeClass* pClass) const { return GetRuntimeClass()->IsDerivedFrom(pClass); }

    static inline const CRuntimeClass classCObject{"CObject", nullptr};
};
