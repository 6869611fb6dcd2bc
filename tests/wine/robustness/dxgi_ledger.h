// DXGI objects handed to the library inside wrappers whose vtables forward to
// the real objects: every reference the library takes and gives back is
// counted per object, and one method can be made to fail on every call.
// Adapters from the wrapped factory, and the IDXGIAdapter3 of an adapter,
// are wrapped in turn.
#pragma once

#include <windows.h>
#include <dxgi1_4.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace mrv::wine_test {

enum class DxgiMethod { None, EnumAdapters1, GetDesc1, QueryInterfaceAdapter3, QueryVideoMemoryInfo };

class DxgiLedger {
public:
    DxgiLedger();
    ~DxgiLedger();
    DxgiLedger(const DxgiLedger&) = delete;
    DxgiLedger& operator=(const DxgiLedger&) = delete;

    // Takes over one reference to `factory` and hands out a wrapper holding
    // one reference of the library's.
    IDXGIFactory4* wrap_factory(IDXGIFactory4* factory);

    // From now on every call of `method` fails: E_FAIL, or E_NOINTERFACE
    // for the interface query, with a null output.
    void make_fail(DxgiMethod method) { failing_ = method; }
    std::size_t failed_calls() const { return failed_calls_; }

    // Objects handed out so far, and what went wrong with their references:
    // some still held, or released after the last one.
    std::size_t objects() const;
    std::vector<std::string> problems() const;

    // Internal to the wrappers.
    struct Entry {
        std::string kind;
        ULONG references = 1;
        ULONG releases_too_many = 0;
        IUnknown* inner = nullptr;
    };
    class Wrapper;
    Entry& enter(const char* kind, IUnknown* inner);
    ULONG release(Entry& entry);
    bool fails(DxgiMethod method);
    void keep(std::unique_ptr<Wrapper> wrapper);
    void unexpected(const std::string& what) { unexpected_.push_back(what); }

private:
    std::vector<std::unique_ptr<Entry>> entries_;
    std::vector<std::unique_ptr<Wrapper>> wrappers_;
    std::vector<std::string> unexpected_;
    DxgiMethod failing_ = DxgiMethod::None;
    std::size_t failed_calls_ = 0;
};

}  // namespace mrv::wine_test
