// Test helpers for filter property pages: open a filter's pages (checking
// their classes and titles in order and handing each the filter), and find a
// page's field by its id.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/com/runtime.h"
#include "platform/media/control_interfaces.h"

// The pages in the filter's order; empty when the filter does not name
// exactly the expected pages or a page cannot be made.
inline std::vector<ComPtr<IPropertyPage>> openPropertyPages(IUnknown* filter, const std::vector<CLSID>& expected,
                                                            const std::vector<std::string>& titles) {
  std::vector<ComPtr<IPropertyPage>> made;
  ComPtr<ISpecifyPropertyPages> specify;
  EXPECT_EQ(filter->QueryInterface(IID_ISpecifyPropertyPages, specify.putVoid()), S_OK);
  if (!specify) return made;
  CAUUID pages{};
  EXPECT_EQ(specify->GetPages(&pages), S_OK);
  EXPECT_EQ(pages.cElems, expected.size());
  for (size_t i = 0; i < pages.cElems && i < expected.size(); ++i) {
    EXPECT_EQ(pages.pElems[i], expected[i]);
    ComPtr<IPropertyPage> page;
    EXPECT_EQ(CoCreateInstance(pages.pElems[i], nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage, page.putVoid()),
              S_OK);
    if (!page) break;
    PROPPAGEINFO info{};
    page->GetPageInfo(&info);
    EXPECT_STREQ(info.title, titles[i].c_str());
    IUnknown* objects[] = {filter};
    EXPECT_EQ(page->SetObjects(1, objects), S_OK);
    made.push_back(page);
  }
  CoTaskMemFree(pages.pElems);
  if (made.size() != expected.size()) made.clear();
  return made;
}

// The field with this id (all zero when the page has none).
inline PROPPAGEFIELD findPageField(IPropertyPage* page, LONG id) {
  ULONG n = 0;
  page->GetFieldCount(&n);
  for (ULONG i = 0; i < n; ++i) {
    PROPPAGEFIELD f{};
    page->GetField(i, &f);
    if (f.id == id) return f;
  }
  return PROPPAGEFIELD{};
}
