// The wrapper base and the outside filters' wrappers: a filter that is not
// registered, a filter that lacks its control interface, and the real
// filters with their pins and codes.
#include <gtest/gtest.h>

#include "gravet/rsCaptureFilter.h"
#include "gravet/rsCodecFilter.h"
#include "gravet/rsFormatTransFilter.h"
#include "gravet/rsImageCompoundFilter.h"
#include "gravet/rsImageExtractFilter.h"
#include "platform/com/runtime.h"
#include "platform/filters/outside/tests/private_registry.h"
#include "platform/filters/tests/graph_helpers.h"

TEST(GravetFilter, UnregisteredFiltersLeaveEmptyWrappersThatAnswerDefaults) {
  PrivateRegistry registry;  // nothing registered
  ComSession com;
  mxObjectPtr<rsFormatTransFilter> transform = new rsFormatTransFilter("FormatTransform(Main)");
  EXPECT_FALSE(transform->isValid());
  EXPECT_STREQ(transform->getName().c_str(), "FormatTransform(Main)");
  EXPECT_EQ(transform->getNumInputPins(), 0u);
  EXPECT_EQ(transform->getNumOutputPins(), 0u);
  transform->setOutputVideoFormat(5);
  transform->setInputVideoFormat(2);
  transform->setInputVideoFormatColor(1);
  EXPECT_EQ(transform->getOutputVideoFormat(), 0);
  EXPECT_EQ(transform->getInputVideoFormat(), 0);
  EXPECT_EQ(transform->getInputVideoFormatColor(), 0);
  EXPECT_EQ(transform->getActualInputVideoFormat(), 0);
  EXPECT_EQ(transform->getActualInputVideoFormatColor(), 0);
  EXPECT_EQ(transform->getActualOutputVideoFormat(), 0);

  mxObjectPtr<rsImageExtractFilter> extract = new rsImageExtractFilter("ImageExtract");
  EXPECT_FALSE(extract->isValid());
  extract->setOutputVideoFormat(3);
  EXPECT_EQ(extract->getOutputVideoFormat(), 0);

  mxObjectPtr<rsImageCompoundFilter> compound = new rsImageCompoundFilter("ImageCompound");
  EXPECT_FALSE(compound->isValid());
  compound->setFrameRate(25);
  compound->setMask(2);
  compound->setBlending(1);
  EXPECT_EQ(compound->getFrameRate(), 0);
  EXPECT_EQ(compound->getMask(), 0);
  EXPECT_EQ(compound->getBlending(), 0);

  // Renaming works on an empty wrapper too.
  compound->setName("Other");
  EXPECT_STREQ(compound->getName().c_str(), "Other");

  // Type queries follow the class chain.
  EXPECT_TRUE(compound->isDerivedFrom(rsImageCompoundFilter::getStaticClassType()));
  EXPECT_TRUE(compound->isDerivedFrom(rsFilter::getStaticClassType()));
  EXPECT_TRUE(compound->isDerivedFrom(mxObject::getStaticClassType()));
  EXPECT_FALSE(compound->isDerivedFrom(rsImageExtractFilter::getStaticClassType()));

  // Capture and codec wrappers without a filter answer their defaults.
  mxObjectPtr<rsCaptureFilter> capture = new rsCaptureFilter(nullptr, "Camera", "Camera");
  EXPECT_FALSE(capture->isValid());
  EXPECT_STREQ(capture->getFriendlyName().c_str(), "Camera");
  EXPECT_EQ(capture->getNumPropertyPages(), 1u);
  EXPECT_STREQ(capture->getPropertyPageName(0).c_str(), "Capture Property Page");
  EXPECT_STREQ(capture->getPropertyPageName(7).c_str(), "Capture Property Page");
  EXPECT_FALSE(capture->showPropertyPage(0, 0));
  EXPECT_FALSE(capture->isAnalogVideoCapture());
  EXPECT_EQ(capture->getCapturePinIndex(), -1);
  EXPECT_EQ(capture->getPreviewPinIndex(), -1);
  capture->setAllocatorProperties(0, 4, 1000, 16, 0);
  long b = 9, s = 9, a = 9, p = 9;
  capture->getAllocatorProperties(0, b, s, a, p);
  EXPECT_EQ(b, 0);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(p, 0);

  mxObjectPtr<rsCodecFilter> codec = new rsCodecFilter(nullptr, "Codec", "Name");
  EXPECT_FALSE(codec->isValid());
  EXPECT_STREQ(codec->getFriendlyName().c_str(), "Codec");
  EXPECT_STREQ(codec->getName().c_str(), "Name");
  EXPECT_TRUE(codec->isDerivedFrom(rsFilter::getStaticClassType()));
}

TEST(GravetFilter, FilterWithoutItsControlInterfaceIsReleased) {
  PrivateRegistry registry;
  ASSERT_TRUE(registry.add(OUTSIDE_TEST_MODULE));  // serves the compounder's identifier without the interface
  ComSession com;
  mxObjectPtr<rsImageCompoundFilter> compound = new rsImageCompoundFilter("ImageCompound");
  EXPECT_FALSE(compound->isValid());
  EXPECT_EQ(compound->getNumInputPins(), 0u);
  compound->setMask(1);
  EXPECT_EQ(compound->getMask(), 0);
}

TEST(GravetFilter, OutsideWrappersDriveTheRealFilters) {
  PrivateRegistry registry;
  ASSERT_TRUE(registry.add(OUTSIDE_FILTERS_MODULE));
  ComSession com;
  mxObjectPtr<rsFormatTransFilter> transform = new rsFormatTransFilter("FormatTransform(Main)");
  ASSERT_TRUE(transform->isValid());
  EXPECT_EQ(transform->getNumInputPins(), 1u);
  EXPECT_EQ(transform->getNumOutputPins(), 1u);
  // Start values: any size, any colour, the input's size.
  EXPECT_EQ(transform->getInputVideoFormat(), 8);
  EXPECT_EQ(transform->getInputVideoFormatColor(), 3);
  EXPECT_EQ(transform->getOutputVideoFormat(), 8);
  transform->setOutputVideoFormat(2);
  transform->setInputVideoFormatColor(3);
  EXPECT_EQ(transform->getOutputVideoFormat(), 2);
  // Nothing connected: the actual formats are the chosen size and "any".
  EXPECT_EQ(transform->getActualOutputVideoFormat(), 2);
  EXPECT_EQ(transform->getActualInputVideoFormat(), 8);
  EXPECT_EQ(transform->getActualInputVideoFormatColor(), 3);
  transform->setOutputVideoFormat(42);  // clamped
  EXPECT_EQ(transform->getOutputVideoFormat(), 8);
  transform->setInputVideoFormat(-1);
  EXPECT_EQ(transform->getInputVideoFormat(), 0);

  mxObjectPtr<rsImageExtractFilter> extract = new rsImageExtractFilter("ImageExtract");
  ASSERT_TRUE(extract->isValid());
  EXPECT_EQ(extract->getNumInputPins(), 2u);
  EXPECT_EQ(extract->getNumOutputPins(), 1u);
  EXPECT_EQ(extract->getOutputVideoFormat(), 1);
  extract->setOutputVideoFormat(0);
  EXPECT_EQ(extract->getOutputVideoFormat(), 0);

  mxObjectPtr<rsImageCompoundFilter> compound = new rsImageCompoundFilter("ImageCompound");
  ASSERT_TRUE(compound->isValid());
  EXPECT_EQ(compound->getNumInputPins(), 3u);
  EXPECT_EQ(compound->getNumOutputPins(), 1u);
  compound->setFrameRate(25);
  compound->setMask(2);
  compound->setBlending(1);
  EXPECT_EQ(compound->getFrameRate(), 25);
  EXPECT_EQ(compound->getMask(), 2);
  EXPECT_EQ(compound->getBlending(), 1);
  compound->setMask(9);
  compound->setBlending(-2);
  EXPECT_EQ(compound->getMask(), 2);
  EXPECT_EQ(compound->getBlending(), 0);
}
