// The module export and the factory, as an AXOI host meets them.
#include <gtest/gtest.h>

#include <memory>

#include "framework/axo_entry.h"
#include "framework/axo_plugin_i.h"
#include "test_plugin.h"

TEST(Entry, NonZeroFlagAnswersNullAndEveryZeroFlagCallMakesANewFactory) {
    EXPECT_EQ(get_axoi(1), nullptr);
    EXPECT_EQ(get_axoi(-1), nullptr);
    std::unique_ptr<axo_factory_i> a(get_axoi(0));
    std::unique_ptr<axo_factory_i> b(get_axoi(0));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a.get(), b.get());
    EXPECT_EQ(a->get_interface_version(), 256);
}

TEST(Entry, FactoryAnswersItsStringsOnlyForIndicesZeroToSeven) {
    std::unique_ptr<axo_factory_i> f(get_axoi(0));
    EXPECT_STREQ(f->get_info(0), "test-plugin-1");
    EXPECT_STREQ(f->get_info(2), "1.3");
    EXPECT_STREQ(f->get_info(7), "(c) nobody");
    EXPECT_EQ(f->get_info(8), nullptr);
    EXPECT_EQ(f->get_info(-1), nullptr);
    EXPECT_EQ(f->create_editor(), nullptr);
}

TEST(Entry, FactoryKnowsOnlyTheExactVstKey) {
    std::unique_ptr<axo_factory_i> f(get_axoi(0));
    EXPECT_EQ(f->extension("vstuid", nullptr, 0), 0x54657374);
    for (const char* key : {"VSTUID", "vstuidx", "vstui", "", static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(f->extension(key, nullptr, 0), 0) << (key ? key : "null");
    }
}

TEST(Entry, CreatedInstanceAnswersTheFactoryThatMadeIt) {
    std::unique_ptr<axo_factory_i> f(get_axoi(0));
    std::unique_ptr<axo_plugin_i> p(f->create_plugin());
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->get_factory(), f.get());
    EXPECT_EQ(p->get_param_count(), 5);
}
