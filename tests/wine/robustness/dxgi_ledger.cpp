#include "dxgi_ledger.h"

#include <type_traits>
#include <utility>

namespace mrv::wine_test {

class DxgiLedger::Wrapper {
public:
    virtual ~Wrapper() = default;
};

namespace {

// COM interfaces have no virtual destructor; the ledger deletes each wrapper
// through DxgiLedger::Wrapper, whose destructor is.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

// IUnknown and IDXGIObject for a wrapper of Interface: identity queries
// answer the wrapper itself, AddRef and Release count in the ledger, the
// rest forwards to the wrapped object.
template <typename Interface>
class Wrapped : public Interface, public DxgiLedger::Wrapper {
public:
    Wrapped(DxgiLedger& ledger, DxgiLedger::Entry& entry, Interface* inner)
        : ledger_(ledger), entry_(entry), inner_(inner) {}

    ULONG STDMETHODCALLTYPE AddRef() override { return ++entry_.references; }
    ULONG STDMETHODCALLTYPE Release() override { return ledger_.release(entry_); }

    HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID guid, UINT size, const void* data) override {
        return inner_->SetPrivateData(guid, size, data);
    }
    HRESULT STDMETHODCALLTYPE SetPrivateDataInterface(REFGUID guid, const IUnknown* object) override {
        return inner_->SetPrivateDataInterface(guid, object);
    }
    HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID guid, UINT* size, void* data) override {
        return inner_->GetPrivateData(guid, size, data);
    }
    HRESULT STDMETHODCALLTYPE GetParent(REFIID riid, void** parent) override { return inner_->GetParent(riid, parent); }

protected:
    // `this` for the interfaces the wrapper itself implements.
    bool answer_self(REFIID riid, const std::vector<IID>& own, void** out) {
        for (const IID& iid : own) {
            if (IsEqualIID(riid, iid)) {
                AddRef();
                *out = static_cast<Interface*>(this);
                return true;
            }
        }
        return false;
    }
    HRESULT refuse(const char* kind, void** out) {
        ledger_.unexpected(std::string(kind) + " was asked for an interface no wrapper implements");
        *out = nullptr;
        return E_NOINTERFACE;
    }

    DxgiLedger& ledger_;
    DxgiLedger::Entry& entry_;
    Interface* inner_;
};

// The adapter interfaces up to IDXGIAdapter1, for an IDXGIAdapter1 or an IDXGIAdapter3.
template <typename Interface>
class AdapterWrapper : public Wrapped<Interface> {
public:
    using Wrapped<Interface>::Wrapped;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;

    HRESULT STDMETHODCALLTYPE EnumOutputs(UINT index, IDXGIOutput** output) override {
        return this->inner_->EnumOutputs(index, output);
    }
    HRESULT STDMETHODCALLTYPE GetDesc(DXGI_ADAPTER_DESC* desc) override { return this->inner_->GetDesc(desc); }
    HRESULT STDMETHODCALLTYPE CheckInterfaceSupport(REFGUID guid, LARGE_INTEGER* version) override {
        return this->inner_->CheckInterfaceSupport(guid, version);
    }
    HRESULT STDMETHODCALLTYPE GetDesc1(DXGI_ADAPTER_DESC1* desc) override {
        if (this->ledger_.fails(DxgiMethod::GetDesc1)) return E_FAIL;
        return this->inner_->GetDesc1(desc);
    }
};

class Adapter3Wrapper final : public AdapterWrapper<IDXGIAdapter3> {
public:
    using AdapterWrapper<IDXGIAdapter3>::AdapterWrapper;

    HRESULT STDMETHODCALLTYPE GetDesc2(DXGI_ADAPTER_DESC2* desc) override { return inner_->GetDesc2(desc); }
    HRESULT STDMETHODCALLTYPE RegisterHardwareContentProtectionTeardownStatusEvent(HANDLE event,
                                                                                   DWORD* cookie) override {
        return inner_->RegisterHardwareContentProtectionTeardownStatusEvent(event, cookie);
    }
    void STDMETHODCALLTYPE UnregisterHardwareContentProtectionTeardownStatus(DWORD cookie) override {
        inner_->UnregisterHardwareContentProtectionTeardownStatus(cookie);
    }
    HRESULT STDMETHODCALLTYPE QueryVideoMemoryInfo(UINT node, DXGI_MEMORY_SEGMENT_GROUP group,
                                                   DXGI_QUERY_VIDEO_MEMORY_INFO* info) override {
        if (ledger_.fails(DxgiMethod::QueryVideoMemoryInfo)) return E_FAIL;
        return inner_->QueryVideoMemoryInfo(node, group, info);
    }
    HRESULT STDMETHODCALLTYPE SetVideoMemoryReservation(UINT node, DXGI_MEMORY_SEGMENT_GROUP group,
                                                        UINT64 reservation) override {
        return inner_->SetVideoMemoryReservation(node, group, reservation);
    }
    HRESULT STDMETHODCALLTYPE RegisterVideoMemoryBudgetChangeNotificationEvent(HANDLE event, DWORD* cookie) override {
        return inner_->RegisterVideoMemoryBudgetChangeNotificationEvent(event, cookie);
    }
    void STDMETHODCALLTYPE UnregisterVideoMemoryBudgetChangeNotification(DWORD cookie) override {
        inner_->UnregisterVideoMemoryBudgetChangeNotification(cookie);
    }
};

using Adapter1Wrapper = AdapterWrapper<IDXGIAdapter1>;

template <typename Interface>
HRESULT AdapterWrapper<Interface>::QueryInterface(REFIID riid, void** out) {
    if (out == nullptr) return E_POINTER;
    if constexpr (std::is_same_v<Interface, IDXGIAdapter3>) {
        if (this->answer_self(riid,
                              {__uuidof(IUnknown), __uuidof(IDXGIObject), __uuidof(IDXGIAdapter),
                               __uuidof(IDXGIAdapter1), __uuidof(IDXGIAdapter2), __uuidof(IDXGIAdapter3)},
                              out))
            return S_OK;
        return this->refuse("IDXGIAdapter3", out);
    } else {
        if (this->answer_self(riid,
                              {__uuidof(IUnknown), __uuidof(IDXGIObject), __uuidof(IDXGIAdapter),
                               __uuidof(IDXGIAdapter1)},
                              out))
            return S_OK;
        if (!IsEqualIID(riid, __uuidof(IDXGIAdapter3))) return this->refuse("adapter", out);
        *out = nullptr;
        if (this->ledger_.fails(DxgiMethod::QueryInterfaceAdapter3)) return E_NOINTERFACE;
        IDXGIAdapter3* adapter3 = nullptr;
        const HRESULT result =
            this->inner_->QueryInterface(__uuidof(IDXGIAdapter3), reinterpret_cast<void**>(&adapter3));
        if (FAILED(result) || adapter3 == nullptr) return result;
        auto wrapper = std::make_unique<Adapter3Wrapper>(this->ledger_, this->ledger_.enter("IDXGIAdapter3", adapter3),
                                                         adapter3);
        *out = static_cast<IDXGIAdapter3*>(wrapper.get());
        this->ledger_.keep(std::move(wrapper));
        return result;
    }
}

class FactoryWrapper final : public Wrapped<IDXGIFactory4> {
public:
    using Wrapped<IDXGIFactory4>::Wrapped;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (answer_self(riid,
                        {__uuidof(IUnknown), __uuidof(IDXGIObject), __uuidof(IDXGIFactory), __uuidof(IDXGIFactory1),
                         __uuidof(IDXGIFactory2), __uuidof(IDXGIFactory3), __uuidof(IDXGIFactory4)},
                        out))
            return S_OK;
        return refuse("factory", out);
    }

    HRESULT STDMETHODCALLTYPE EnumAdapters1(UINT index, IDXGIAdapter1** adapter) override {
        if (adapter == nullptr) return DXGI_ERROR_INVALID_CALL;
        *adapter = nullptr;
        if (ledger_.fails(DxgiMethod::EnumAdapters1)) return E_FAIL;
        IDXGIAdapter1* found = nullptr;
        const HRESULT result = inner_->EnumAdapters1(index, &found);
        if (FAILED(result) || found == nullptr) return result;
        auto wrapper = std::make_unique<Adapter1Wrapper>(ledger_, ledger_.enter("adapter", found), found);
        *adapter = wrapper.get();
        ledger_.keep(std::move(wrapper));
        return result;
    }

    // Forwarded as they are; the library calls none of them.
    HRESULT STDMETHODCALLTYPE EnumAdapters(UINT index, IDXGIAdapter** adapter) override {
        return inner_->EnumAdapters(index, adapter);
    }
    HRESULT STDMETHODCALLTYPE MakeWindowAssociation(HWND window, UINT flags) override {
        return inner_->MakeWindowAssociation(window, flags);
    }
    HRESULT STDMETHODCALLTYPE GetWindowAssociation(HWND* window) override {
        return inner_->GetWindowAssociation(window);
    }
    HRESULT STDMETHODCALLTYPE CreateSwapChain(IUnknown* device, DXGI_SWAP_CHAIN_DESC* desc,
                                              IDXGISwapChain** swapchain) override {
        return inner_->CreateSwapChain(device, desc, swapchain);
    }
    HRESULT STDMETHODCALLTYPE CreateSoftwareAdapter(HMODULE module, IDXGIAdapter** adapter) override {
        return inner_->CreateSoftwareAdapter(module, adapter);
    }
    BOOL STDMETHODCALLTYPE IsCurrent() override { return inner_->IsCurrent(); }
    BOOL STDMETHODCALLTYPE IsWindowedStereoEnabled() override { return inner_->IsWindowedStereoEnabled(); }
    HRESULT STDMETHODCALLTYPE CreateSwapChainForHwnd(IUnknown* device, HWND window, const DXGI_SWAP_CHAIN_DESC1* desc,
                                                     const DXGI_SWAP_CHAIN_FULLSCREEN_DESC* fullscreen,
                                                     IDXGIOutput* output, IDXGISwapChain1** swapchain) override {
        return inner_->CreateSwapChainForHwnd(device, window, desc, fullscreen, output, swapchain);
    }
    HRESULT STDMETHODCALLTYPE CreateSwapChainForCoreWindow(IUnknown* device, IUnknown* window,
                                                           const DXGI_SWAP_CHAIN_DESC1* desc, IDXGIOutput* output,
                                                           IDXGISwapChain1** swapchain) override {
        return inner_->CreateSwapChainForCoreWindow(device, window, desc, output, swapchain);
    }
    HRESULT STDMETHODCALLTYPE GetSharedResourceAdapterLuid(HANDLE resource, LUID* luid) override {
        return inner_->GetSharedResourceAdapterLuid(resource, luid);
    }
    HRESULT STDMETHODCALLTYPE RegisterStereoStatusWindow(HWND window, UINT message, DWORD* cookie) override {
        return inner_->RegisterStereoStatusWindow(window, message, cookie);
    }
    HRESULT STDMETHODCALLTYPE RegisterStereoStatusEvent(HANDLE event, DWORD* cookie) override {
        return inner_->RegisterStereoStatusEvent(event, cookie);
    }
    void STDMETHODCALLTYPE UnregisterStereoStatus(DWORD cookie) override { inner_->UnregisterStereoStatus(cookie); }
    HRESULT STDMETHODCALLTYPE RegisterOcclusionStatusWindow(HWND window, UINT message, DWORD* cookie) override {
        return inner_->RegisterOcclusionStatusWindow(window, message, cookie);
    }
    HRESULT STDMETHODCALLTYPE RegisterOcclusionStatusEvent(HANDLE event, DWORD* cookie) override {
        return inner_->RegisterOcclusionStatusEvent(event, cookie);
    }
    void STDMETHODCALLTYPE UnregisterOcclusionStatus(DWORD cookie) override {
        inner_->UnregisterOcclusionStatus(cookie);
    }
    HRESULT STDMETHODCALLTYPE CreateSwapChainForComposition(IUnknown* device, const DXGI_SWAP_CHAIN_DESC1* desc,
                                                            IDXGIOutput* output, IDXGISwapChain1** swapchain) override {
        return inner_->CreateSwapChainForComposition(device, desc, output, swapchain);
    }
    UINT STDMETHODCALLTYPE GetCreationFlags() override { return inner_->GetCreationFlags(); }
    HRESULT STDMETHODCALLTYPE EnumAdapterByLuid(LUID luid, REFIID riid, void** adapter) override {
        return inner_->EnumAdapterByLuid(luid, riid, adapter);
    }
    HRESULT STDMETHODCALLTYPE EnumWarpAdapter(REFIID riid, void** adapter) override {
        return inner_->EnumWarpAdapter(riid, adapter);
    }
};

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

}  // namespace

DxgiLedger::DxgiLedger() = default;

// References the library kept are given back here, so that the wrapped
// objects do not outlive the test that made them.
DxgiLedger::~DxgiLedger() {
    for (const auto& entry : entries_)
        if (entry->references > 0) entry->inner->Release();
}

IDXGIFactory4* DxgiLedger::wrap_factory(IDXGIFactory4* factory) {
    auto wrapper = std::make_unique<FactoryWrapper>(*this, enter("factory", factory), factory);
    IDXGIFactory4* handed_out = wrapper.get();
    keep(std::move(wrapper));
    return handed_out;
}

DxgiLedger::Entry& DxgiLedger::enter(const char* kind, IUnknown* inner) {
    entries_.push_back(std::make_unique<Entry>());
    entries_.back()->kind = kind;
    entries_.back()->inner = inner;
    return *entries_.back();
}

ULONG DxgiLedger::release(Entry& entry) {
    if (entry.references == 0) {
        ++entry.releases_too_many;
        return 0;
    }
    if (--entry.references == 0) entry.inner->Release();
    return entry.references;
}

bool DxgiLedger::fails(DxgiMethod method) {
    if (method != failing_) return false;
    ++failed_calls_;
    return true;
}

void DxgiLedger::keep(std::unique_ptr<Wrapper> wrapper) { wrappers_.push_back(std::move(wrapper)); }

std::size_t DxgiLedger::objects() const { return entries_.size(); }

std::vector<std::string> DxgiLedger::problems() const {
    std::vector<std::string> found = unexpected_;
    for (const auto& entry : entries_) {
        if (entry->references > 0)
            found.push_back(entry->kind + " still holds " + std::to_string(entry->references) + " reference(s)");
        if (entry->releases_too_many > 0)
            found.push_back(entry->kind + " released " + std::to_string(entry->releases_too_many) +
                            " time(s) after its last reference");
    }
    return found;
}

}  // namespace mrv::wine_test
