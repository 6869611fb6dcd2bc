// Without a display Wine's DXGI has no adapter to offer: Wine 8 does not even
// create the IDXGIFactory4, so the library takes its factory-failure path.
// The document must list what DXGI lists, which here is nothing.
#include <windows.h>
#include <dxgi1_4.h>

#include <gtest/gtest.h>

#include <string>

#include "capabilities_of.h"
#include "wine_test_support.h"

namespace mrv::wine_test {
namespace {

// Hardware adapters DXGI itself enumerates, or -1 without an IDXGIFactory4.
int hardware_adapters_dxgi_lists() {
    IDXGIFactory4* factory = nullptr;
    if (FAILED(CreateDXGIFactory1(__uuidof(IDXGIFactory4), reinterpret_cast<void**>(&factory)))) return -1;
    int count = 0;
    IDXGIAdapter1* adapter = nullptr;
    for (UINT index = 0; factory->EnumAdapters1(index, &adapter) != DXGI_ERROR_NOT_FOUND; ++index) {
        DXGI_ADAPTER_DESC1 desc;
        if (SUCCEEDED(adapter->GetDesc1(&desc)) && (desc.Flags & DXGI_ADAPTER_FLAG_SOFTWARE) == 0) ++count;
        adapter->Release();
    }
    factory->Release();
    return count;
}

TEST(NoDisplay, TheDocumentListsNoAdapterAndTheServerHasNone) {
    const int listed_by_dxgi = hardware_adapters_dxgi_lists();
    RecordProperty("hardware_adapters_dxgi_lists", listed_by_dxgi);
    EXPECT_LE(listed_by_dxgi, 0) << "this session was meant to have no adapter";

    const nlohmann::json document = capabilities_in_process(program_directory());
    ASSERT_TRUE(document.is_object());
    EXPECT_EQ(document["gpus"], nlohmann::json::array());
    const nlohmann::json& llm = document["capabilities"]["llm_server"];
    EXPECT_EQ(llm["best_gpu_index"], -1);
    EXPECT_EQ(llm["status"], "none");
    EXPECT_EQ(llm["recommended_mode"], "none");
    EXPECT_EQ(llm["warnings"], nlohmann::json::array({"Не найдена подходящая дискретная GPU для Qwen 3.5 35B MOE"}));
}

}  // namespace
}  // namespace mrv::wine_test
