// The hopper: order, emptiness and reproducible synthetic cheques.
#include "sim/documents/document_stack.h"

#include <gtest/gtest.h>

namespace sim::documents {
namespace {

TEST(DocumentStack, FeedsInPushOrderAndEmptyMeansNoDocument) {
  DocumentStack stack(5);
  EXPECT_TRUE(stack.Empty());
  EXPECT_EQ(stack.Peek(), nullptr);
  EXPECT_FALSE(stack.Pop().has_value());

  stack.AddCheques(2);
  Document jam = MakeCheque(99);
  jam.faults.jam = true;
  stack.Push(jam);
  ASSERT_EQ(stack.Size(), 3u);

  const std::string first = stack.Peek()->codeLine;
  const auto a = stack.Pop();
  const auto b = stack.Pop();
  const auto c = stack.Pop();
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(a->codeLine, first);
  EXPECT_NE(a->codeLine, b->codeLine);
  EXPECT_FALSE(a->faults.jam);
  EXPECT_TRUE(c->faults.jam);
  EXPECT_EQ(c->codeLine, jam.codeLine);
  EXPECT_TRUE(stack.Empty());
  EXPECT_FALSE(stack.Pop().has_value());
}

TEST(DocumentStack, SameSeedGivesSameDocumentsAndAnotherSeedOthers) {
  DocumentStack one(11), two(11), other(12);
  one.AddCheques(2);
  two.AddCheques(2);
  other.AddCheques(1);
  const auto a = one.Pop(), b = two.Pop(), c = other.Pop();
  EXPECT_EQ(a->codeLine, b->codeLine);
  EXPECT_EQ(a->front.rgb, b->front.rgb);
  EXPECT_EQ(a->rear.rgb, b->rear.rgb);
  EXPECT_NE(a->codeLine, c->codeLine);
  EXPECT_NE(a->front.rgb, c->front.rgb);
  // The second cheque of a stack is not the first again.
  EXPECT_NE(one.Pop()->codeLine, a->codeLine);
}

TEST(DocumentStack, OptionsChooseColourFontAndSize) {
  ChequeOptions opt;
  opt.colour = true;
  opt.font = MicrFont::kCmc7;
  opt.widthInches = 8.5;
  opt.heightInches = 3.67;
  DocumentStack stack(3, opt);
  stack.AddCheques(1);
  const auto d = stack.Pop();
  EXPECT_EQ(d->font, MicrFont::kCmc7);
  EXPECT_EQ(d->front.width, 1700);
  EXPECT_EQ(d->front.height, 734);
  EXPECT_EQ(d->rear.width, 1700);
  EXPECT_FALSE(d->front.IsGrey());
  EXPECT_FALSE(d->rear.IsGrey());
  EXPECT_TRUE(MakeCheque(3).front.IsGrey());
  EXPECT_TRUE(MakeCheque(3).rear.IsGrey());
}

}  // namespace
}  // namespace sim::documents
