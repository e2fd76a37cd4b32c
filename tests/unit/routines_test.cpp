// The routines the boards share: reductions, bits, choices, property lookup, the write command,
// the 8255 control word and the counter latch.
#include "framework/routines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "framework/chips.h"

using namespace varn;

namespace {
SampleBuffer Samples(std::initializer_list<double> xs) {
  SampleBuffer b;
  for (double x : xs) b.Append(x);
  return b;
}
}  // namespace

TEST(Reductions, PlainAndTrimmedMean) {
  EXPECT_EQ(PlainMean(Samples({1, 2, 3, 4})), 2.5);
  EXPECT_EQ(TrimmedMean(Samples({1000, 1010, 1020})), 1010);
  EXPECT_EQ(TrimmedMean(Samples({5, 5, 5, 5})), 5);
  EXPECT_EQ(TrimmedMean(Samples({700})), 700);
  EXPECT_EQ(TrimmedMean(Samples({1, 9, 2, 9, 1})), 4);  // one copy of each extreme goes
  // No sample: mid-scale, from either reduction.
  EXPECT_EQ(TrimmedMean(Samples({})), 2048);
  EXPECT_EQ(PlainMean(Samples({})), 2048);
}

TEST(Reductions, TrimmedMeanIsSoundWhereTheOldStartValuesWereNot) {
  EXPECT_EQ(TrimmedMean(Samples({100, 300})), 200);           // two samples: their mean, not 0/0
  EXPECT_EQ(TrimmedMean(Samples({-3.0, -2.0, -1.0})), -2.0);  // volts below 0 are bracketed
  EXPECT_EQ(TrimmedMean(Samples({5000, 6000, 7000})), 6000);  // and counts above 4096
  EXPECT_EQ(Reduce(Samples({1, 2, 9}), 0), 4);
  EXPECT_EQ(Reduce(Samples({1, 2, 9}), 7), 2);
}

TEST(Reductions, RepeatedConversionsAreReducedAsTheSettingSays) {
  std::vector<double> samples = {1, 2, 9};
  size_t taken = 0;
  auto next = [&] { return samples[taken++]; };
  EXPECT_EQ(ConvertAndReduce(3, 1, next), 2);
  EXPECT_EQ(taken, 3u);
  taken = 0;
  EXPECT_EQ(ConvertAndReduce(2, 0, next), 1.5);
  for (int32_t none : {0, -5, INT32_MIN}) {
    taken = 0;
    EXPECT_EQ(ConvertAndReduce(none, 0, next), kMidScaleCount);
    EXPECT_EQ(taken, 0u) << "no conversion";
  }
}

TEST(Scaling, HalvingRangeAndGain) {
  EXPECT_EQ(HalvingRange(0, 0).Volts(4095), 4.99755859375);
  EXPECT_EQ(HalvingRange(1, 2).Volts(4095), 0.62469482421875);
  EXPECT_EQ(HalvingRange(2, 4).Volts(0), -0.078125);
  for (int range = 0; range < 3; ++range) EXPECT_EQ(HalvingRange(range, 3).Volts(2048), 0.0);
  // Codes no choice gives (a foreign stored record) stay finite or reach 0 without a fault.
  EXPECT_EQ(HalvingRange(-1, 0).Volts(0), -10.0);
  EXPECT_EQ(HalvingRange(0, INT32_MAX).Volts(0), -0.0);
}

TEST(Scaling, DaCodeClampsIntoTheSpanAndTopsAt4095) {
  EXPECT_EQ(DaCode(2.5, 0, 5), 2048u);
  EXPECT_EQ(DaCode(2.5, -5, 5), 3072u);
  EXPECT_EQ(DaCode(-7, -5, 5), 0u);
  EXPECT_EQ(DaCode(5, 0, 5), 4095u);
  EXPECT_EQ(DaCode(1e300, 0, 10), 4095u);
  EXPECT_EQ(DaCode(4.998, 0, 5), 4094u);
  EXPECT_EQ(DaCode(std::numeric_limits<double>::quiet_NaN(), 0, 5), 0u);
}

TEST(Bits, PackingFollowsTruncationTowardZero) {
  CArray<double> values;
  for (double v : {1.0, 0.0, 0.7, -2.0, 1.9, 0.0, 0.0, 3.0}) values.Add(v);
  EXPECT_EQ(PackBits(0, 0, 8, 0, values), 0x99u);
  EXPECT_EQ(PackBits(0xF0, 0, 4, 0, values), 0xF9u);  // bits outside the group stay
  EXPECT_EQ(PackBits(0, 4, 4, 4, values), 0x90u);
  EXPECT_FALSE(OutputBitOn(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_FALSE(OutputBitOn(-0.999));
  EXPECT_TRUE(OutputBitOn(-1.0));
  EXPECT_TRUE(OutputBitOn(std::numeric_limits<double>::infinity()));
  EXPECT_EQ(PackBits(0, 0, 8, 4, values), 0x09u);  // the array ends: missing channels are 0
  EXPECT_EQ(GetBit(0x81, 7), 1u);
  EXPECT_EQ(SetBit(0xFF, 3, false), 0xF7u);
}

TEST(Bits, SpreadingTouchesOnlyEnabledChannelsInsideTheArrays) {
  CArray<int> enabled;
  CArray<double> values;
  for (int e : {1, 0, 1, 2}) enabled.Add(e);
  values.SetSize(3);
  values[1] = 0.5;
  SpreadBits(0x0F, 0, 8, 0, enabled, values);
  EXPECT_EQ(values[0], 1.0);
  EXPECT_EQ(values[1], 0.5);
  EXPECT_EQ(values[2], 1.0);
  EXPECT_EQ(values.GetSize(), 3);
}

TEST(Choices, RecognisedAsAWholeWithoutRegardToCase) {
  const char16_t* const texts[] = {u"0 - 单端", u"1 - 双端", u"2 - 0 ～ 10V"};
  const ChoiceSet<char16_t> choices{texts, 3};
  EXPECT_EQ(MatchChoice(u"1 - 双端", choices), 1);
  EXPECT_EQ(MatchChoice(u"2 - 0 ～ 10v", choices), 2);
  EXPECT_EQ(MatchChoice(u"0 - 单端 ", choices), -1);
  EXPECT_EQ(MatchChoice(u"1", choices), -1);
}

TEST(Choices, OfSeveralEqualChoicesTheFirstOrTheLastWins) {
  const char* const texts[] = {"0 - ON", "1 - OFF", "0 - on", "1 - OFF"};
  const ChoiceSet<char> choices{texts, 4};
  EXPECT_EQ(MatchChoice("0 - ON", choices), 0);
  EXPECT_EQ(MatchLastChoice("0 - ON", choices), 2);
  EXPECT_EQ(MatchLastChoice("1 - off", choices), 3);
  EXPECT_EQ(MatchLastChoice("2 - IC", choices), -1);
  EXPECT_EQ(MatchLastChoice("0 - ON", ChoiceSet<char>{texts, 0}), -1);
}

TEST(FindProperties, FixedPositionsAgainstRunningCursor) {
  const char16_t* names[] = {u"A", u"B", u"C"};
  BasicCStringArray<char16_t> hostNames, hostValues;
  for (auto n : {u"A", u"C"}) hostNames.Add(BasicCString<char16_t>(n));
  for (auto v : {u"1", u"3"}) hostValues.Add(BasicCString<char16_t>(v));
  auto found = [&](PropertyLookup lookup) {
    std::u16string seen;
    FindProperties<char16_t>(
        lookup, 3, hostNames, hostValues, [&](int p) { return names[p]; },
        [&](int p, const BasicCString<char16_t>& v) { seen += char16_t(u'a' + p) + v.Text(); });
    return seen;
  };
  EXPECT_EQ(found(PropertyLookup::FixedPositions), u"a1");   // C is not at position 2
  EXPECT_EQ(found(PropertyLookup::RunningCursor), u"a1c3");  // B missing: skipped
  hostValues.SetSize(1);  // a shorter value array is taken only where it has elements
  EXPECT_EQ(found(PropertyLookup::RunningCursor), u"a1");
}

struct CommandCase {
  const char16_t* text;
  WriteCommand::Form form;
  int index;
  double value;
};

TEST(ParseWriteCommand, FormsOfTheHostsCommand) {
  using F = WriteCommand::Form;
  const CommandCase cases[] = {
      {u"VARN_WRITE(7=1)", F::Write, 7, 1.0},       {u"varn_write(7=0)", F::Write, 7, 0.0},
      {u"VARN_WRITE(3=2.5)tail", F::Write, 3, 2.5}, {u"VARN_WRITE( 3 = -1.5e1 )", F::Write, 3, -15.0},
      {u"VARN_WRITE(3=2.5", F::NotACommand, 0, 0},  {u"VARN_WRITE 7=1", F::NotACommand, 0, 0},
      {u"VARN_WRITE3=1)", F::NotACommand, 0, 0},    {u" VARN_WRITE(7=1)", F::OtherKeyword, 0, 0},
      {u"SET(3=1)", F::OtherKeyword, 0, 0},         {u"VARN_WRITE(x=1)", F::Unreadable, 0, 0},
      {u"VARN_WRITE(3=)", F::Unreadable, 0, 0},     {u"VARN_WRITE(3=nan)", F::Unreadable, 0, 0},
      {u"VARN_WRITE(3=inf)", F::Unreadable, 0, 0},  {u"VARN_WRITE(3=1e999)", F::Unreadable, 0, 0},
      {u"VARN_WRITE=(3)", F::OtherKeyword, 0, 0},   {u"VARN_WRITE(99999999999=1)", F::Write, INT32_MAX, 1.0},
  };
  for (const auto& c : cases) {
    const WriteCommand w = ParseWriteCommand(BasicCString<char16_t>(c.text), u"VARN_WRITE");
    EXPECT_EQ(w.form, c.form) << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
    if (c.form == F::Write) {
      EXPECT_EQ(w.index, c.index);
      EXPECT_EQ(w.value, c.value);
    }
  }
}

TEST(Chips, ControlWordOf8255Groups) {
  Ppi8255ControlWord w;
  EXPECT_EQ(w.Word(), 0x80);
  w.SetInput(Ppi8255ControlWord::kPortAInput, true);
  w.SetInput(Ppi8255ControlWord::kPortBInput, true);
  w.SetInput(Ppi8255ControlWord::kPortCInput, true);
  EXPECT_EQ(w.Word(), 0x9B);
  w.SetInput(Ppi8255ControlWord::kPortAInput, false);
  EXPECT_EQ(w.Word(), 0x8B);
}

namespace {
struct RecordingPorts {
  mutable std::vector<std::string> log;
  mutable std::vector<uint8_t> reads;
  void OutByte(int port, uint8_t v) const { log.push_back("out " + std::to_string(port) + "=" + std::to_string(v)); }
  uint8_t InByte(int port) const {
    log.push_back("in " + std::to_string(port));
    const uint8_t v = reads.front();
    reads.erase(reads.begin());
    return v;
  }
};
}  // namespace

TEST(Chips, ControlWordOfThePortPropertiesTaken) {
  struct Matches {
    std::vector<int> codes;  // per property: -1 not taken, else the choice code
    bool Taken(int p) const { return codes[size_t(p)] >= 0; }
    int Code(int p) const { return codes[size_t(p)]; }
  };
  EXPECT_EQ(Ppi8255Channels::ControlWordOf(Matches{{9, 0, 0, 0, 0}}, 1, 0), 0x9B);
  EXPECT_EQ(Ppi8255Channels::ControlWordOf(Matches{{1, 0, 1, 1}}, 0, 0), 0x82);
  EXPECT_EQ(Ppi8255Channels::ControlWordOf(Matches{{-1, -1, 0, 1}}, 0, 0), 0x81) << "not taken: as in 0x80";
  EXPECT_EQ(Ppi8255Channels::ControlWordOf(Matches{{0, 0, 0, 1}}, 0, 0), 0x93);
}

TEST(Chips, EachCounterIsLatchedAloneRightBeforeItsTwoReads) {
  RecordingPorts io;
  io.reads = {0x34, 0x12};
  EXPECT_EQ(pit8254::ReadLatchedCount(io, 15, 14, 2), 0x1234u);
  EXPECT_EQ(io.log, (std::vector<std::string>{"out 15=128", "in 14", "in 14"}));
  io.log.clear();
  pit8254::StartRateGenerator(io, 11, 9, 1);
  EXPECT_EQ(io.log, (std::vector<std::string>{"out 11=116", "out 9=255", "out 9=255"}));
}
