// docs/models.md carries the model catalogue as `kxrender --models` prints
// it; the doc must say what the plug-in's rule chains say.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "host/models.h"

TEST(ModelCatalogue, DocTablesAreThePluginTables)
{
    std::ifstream in(std::string(KX_SOURCE_DIR) + "/docs/models.md");
    ASSERT_TRUE(in);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string doc = ss.str();
    const std::string begin = "<!-- kxrender --models -->\n";
    const std::string end = "<!-- end -->";
    const std::size_t from = doc.find(begin);
    const std::size_t to = doc.find(end);
    ASSERT_NE(from, std::string::npos);
    ASSERT_NE(to, std::string::npos);
    EXPECT_EQ(doc.substr(from + begin.size(), to - from - begin.size()), kxhost::ModelCatalogue())
        << "regenerate the tables in docs/models.md with kxrender --models";
}
