#include "site/search_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace folirex {
namespace {

SearchFacts Facts(SqlEngine engine, SearchColumn column, OrderCode order, int64_t page,
                  int64_t list_rows, bool asked) {
  return SearchFacts{.engine = engine,
                     .column = column,
                     .order = order,
                     .requested_page = page,
                     .list_rows = list_rows,
                     .asked_before = asked};
}

constexpr SqlEngine kLite = SqlEngine::kSqlite, kPg = SqlEngine::kPostgres;
constexpr SearchColumn kTitle = SearchColumn::kTitle, kBody = SearchColumn::kContent;
constexpr OrderCode kNewest = OrderCode::kTimeDescending, kById = OrderCode::kIdAscending,
                    kClicks = OrderCode::kClicksDescending;

struct Case {
  std::string name;
  SearchFacts facts;
  SearchPlan plan;
};

// Each branch of each step, with whether "asked before" decided it (the keyword is noted as
// asked just then).
TEST(SearchPlanTest, PicksEachStepsWay) {
  auto counted = [](SearchFacts f, int64_t matches) {
    f.counted = matches;
    return f;
  };
  auto with_index = [](SearchFacts f) {
    f.index_reads = true;
    return f;
  };
  auto indexed = [](SearchFacts f, int64_t matches) {
    f.counted = 5;  // a later step's count decides, whatever the earlier ones found
    f.indexed = matches;
    return f;
  };
  auto found = [](SearchFacts f, int64_t matches, int64_t list, int64_t page) {
    f.indexed = 5;
    f.found = SearchFacts::Found{matches, list, page};
    return f;
  };
  using W = SearchWay;
  const std::vector<Case> cases = {
      {"no step yet", Facts(kLite, kTitle, kNewest, 1, 1000, false), {W::kNext}},
      {"none counted",
       counted(Facts(kLite, kTitle, kClicks, 9, 1000, false), 0),
       {W::kCountedWalk}},
      {"counted, clicks order",
       counted(Facts(kLite, kTitle, kClicks, 1, 1000, false), 500),
       {W::kNext}},
      {"counted, deep page",
       counted(Facts(kLite, kTitle, kNewest, 6, 1000, false), 500),
       {W::kNext}},
      {"counted, common title",
       counted(Facts(kLite, kTitle, kNewest, 1, 1000, true), 500),
       {W::kCountedWalk}},
      {"counted, rare title",
       counted(Facts(kLite, kTitle, kNewest, 1, 100000, true), 50),
       {W::kNext}},
      {"counted, title with too many ids to keep",
       counted(Facts(kLite, kTitle, kNewest, 1, 100'000'000, true), 30000),
       {W::kCountedWalk}},
      {"counted, common body asked first",
       counted(Facts(kLite, kBody, kNewest, 1, 1000, false), 500),
       {W::kCountedWalk, true}},
      {"counted, common body asked again",
       counted(Facts(kLite, kBody, kNewest, 1, 1000, true), 500),
       {W::kNext, true}},
      {"counted, body asked first that the index reads, many bodies passed",
       counted(with_index(Facts(kLite, kBody, kNewest, 1, 100'000, false)), 1600),
       {W::kNext, true}},
      {"counted, body asked first that the index reads, few bodies passed",
       counted(with_index(Facts(kLite, kBody, kNewest, 1, 100'000, false)), 20'000),
       {W::kCountedWalk, true}},
      {"counted, body with too many to keep",
       counted(Facts(kLite, kBody, kNewest, 1, 200'000, true), 150'000),
       {W::kCountedWalk}},
      {"counted, PostgreSQL title asked first",
       counted(Facts(kPg, kTitle, kNewest, 1, 10000, false), 1000),
       {W::kCountedWalk, true}},
      {"counted, PostgreSQL title asked again",
       counted(Facts(kPg, kTitle, kNewest, 1, 10000, true), 1000),
       {W::kNext, true}},
      {"indexed, order of ids",
       indexed(Facts(kLite, kTitle, kById, 1, 0, true), 50),
       {W::kIndexSlice}},
      {"indexed, none",
       indexed(Facts(kLite, kTitle, kNewest, 1, 1000, true), 0),
       {W::kIndexWalk, true}},
      {"indexed, too many to put in time",
       indexed(Facts(kLite, kTitle, kNewest, 1, 1000, true), 100'001),
       {W::kIndexWalk, true}},
      {"indexed, few rows passed asked first",
       indexed(Facts(kLite, kTitle, kNewest, 1, 1000, false), 50),
       {W::kIndexWalk, true}},
      {"indexed, few rows passed asked again",
       indexed(Facts(kLite, kTitle, kNewest, 1, 1000, true), 50),
       {W::kIndexInTime, true}},
      {"indexed, hardly more than the page's rows passed asked again",
       indexed(Facts(kLite, kTitle, kNewest, 1, 1000, true), 950),
       {W::kIndexWalk, true}},
      {"indexed, many rows passed",
       indexed(Facts(kLite, kTitle, kNewest, 1, 100000, false), 50),
       {W::kIndexInTime, true}},
      {"found, too many to keep",
       found(Facts(kLite, kBody, kNewest, 1, 0, false), 30000, 60000, 1),
       {W::kWalk}},
      {"found, common title",
       found(Facts(kLite, kTitle, kNewest, 1, 0, false), 5000, 10000, 1),
       {W::kWalk}},
      {"found, common body",
       found(Facts(kLite, kBody, kNewest, 1, 0, false), 5000, 10000, 1),
       {W::kMatches, false, true}},
      {"found, rare title",
       found(Facts(kLite, kTitle, kNewest, 1, 0, false), 10, 10000, 1),
       {W::kMatches, false, true}},
      {"found, order of ids reads the table's rows",
       found(Facts(kLite, kTitle, kById, 1, 10'000'000, false), 5000, 10000, 1),
       {W::kMatches, false, true}},
      {"found, clicks order",
       found(Facts(kLite, kTitle, kClicks, 1, 0, false), 30000, 60000, 1),
       {W::kMatches}},
  };
  for (const Case& c : cases) {
    const SearchPlan plan = PlanSearch(c.facts);
    EXPECT_EQ(plan.way, c.plan.way) << c.name;
    EXPECT_EQ(plan.asks, c.plan.asks) << c.name;
    EXPECT_EQ(plan.keep_ids, c.plan.keep_ids) << c.name;
  }
}

TEST(SearchPlanTest, ColumnsOrdersAndPages) {
  EXPECT_EQ(SearchColumnOf(" D_Content "), SearchColumn::kContent);
  EXPECT_EQ(SearchColumnOf("d_inputer"), SearchColumn::kInputer);
  EXPECT_EQ(SearchColumnOf("d_clicktimes"), SearchColumn::kTitle);
  EXPECT_EQ(SearchColumnName(SearchColumnOf("d_author")), "d_author");
  EXPECT_EQ(SearchBodyOrder(kLite, kBody, kById), BodyMatchOrder::kId);
  EXPECT_EQ(SearchBodyOrder(kLite, kBody, kNewest), BodyMatchOrder::kTime);
  EXPECT_EQ(SearchBodyOrder(kLite, kTitle, kNewest), BodyMatchOrder::kNone);
  EXPECT_EQ(SearchBodyOrder(kPg, kTitle, kNewest), BodyMatchOrder::kTime);
  EXPECT_EQ(SearchBodyOrder(kPg, kBody, kClicks), BodyMatchOrder::kNone);
  EXPECT_EQ(SearchPageOf(9, 41), 3);
  EXPECT_EQ(SearchPageOf(2, 41), 2);
  EXPECT_EQ(SearchPageOf(5, 0), 1);
  EXPECT_EQ(OrderCodeKey(OrderCode::kTimeDescending), (ListOrderKey{"d_addtime", true}));
  EXPECT_EQ(OrderCodeKey(OrderCode::kClicksAscending), (ListOrderKey{"d_clicktimes", false}));
  EXPECT_EQ(OrderCodeOf(7), std::nullopt);
  EXPECT_EQ(OrderCodeOf(1), OrderCode::kIdAscending);
}

}  // namespace
}  // namespace folirex
