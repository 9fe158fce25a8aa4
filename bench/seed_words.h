// The vocabulary of the seeded texts (bench/seed.cpp): every title, body, class and subject name
// is made of these two-character words, joined without a separator. bench/keywords.cpp reads the
// seeded texts back into these words to draw the benchmark's search keywords.
#ifndef FOLIREX_BENCH_SEED_WORDS_H_
#define FOLIREX_BENCH_SEED_WORDS_H_

namespace folirex_bench {

inline const char* const kWords[] = {
    "经济", "发展", "城市", "科技", "创新", "教育", "改革", "市场", "企业", "文化",
    "社会", "政策", "数据", "网络", "服务", "环境", "健康", "交通", "能源", "农业",
    "旅游", "体育", "国际", "合作", "研究", "项目", "建设", "管理", "工程", "信息",
    "新闻", "报道", "会议", "计划", "方案", "活动", "公司", "学校", "医院", "社区"};
inline constexpr int kWordCount = sizeof(kWords) / sizeof(kWords[0]);

}  // namespace folirex_bench

#endif  // FOLIREX_BENCH_SEED_WORDS_H_
