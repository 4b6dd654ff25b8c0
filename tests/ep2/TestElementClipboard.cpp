#include "ep2/ElementClipboard.h"

#include <gtest/gtest.h>

namespace kal {
namespace {

TEST(ElementClipboard, EntriesArePastedAsFreshCopiesAndClearFreesThem) {
  TUACEditElement clip;
  TUAXxmlElement e("ep2:A", "v", "an", "F", "", 3);
  e.SetID(5);
  clip.UACAddElement(e);
  e.SetValue("changed");
  std::unique_ptr<TUAXxmlElement> p1, p2;
  ASSERT_EQ(clip.UACGetElement(0, p1), 0);
  p1->SetValue("edited");
  ASSERT_EQ(clip.UACGetElement(0, p2), 0);
  EXPECT_NE(p1.get(), p2.get());
  EXPECT_EQ(p2->GetValue(), "v");
  EXPECT_EQ(p2->GetID(), 5);  // the clipboard id links pasted children to their parent
  EXPECT_EQ(clip.UACGetElement(1, p2), kUACIndexError);
  EXPECT_EQ(p2, nullptr);
  EXPECT_EQ(clip.UACGetElement(-1, p2), kUACIndexError);
  clip.UACClear();  // the sanitizer build's leak check sees a copy left behind
  EXPECT_EQ(clip.UACGetElement(0, p2), kUACIndexError);
}

}  // namespace
}  // namespace kal
