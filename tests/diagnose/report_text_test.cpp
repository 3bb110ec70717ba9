#include "diagnose/report_text.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace bw::diagnose {
namespace {

TEST(ReportText, printed_fields_become_json_numbers_or_null) {
    EXPECT_EQ(json_number("  9.448"), "9.448");
    EXPECT_EQ(json_number(" -0.125"), "-0.125");
    EXPECT_EQ(json_number("   .500"), "0.500");
    EXPECT_EQ(json_number("  -.500"), "-0.500");
    EXPECT_EQ(json_number("*******"), "null");
    EXPECT_EQ(json_number("    NaN"), "null");
    EXPECT_EQ(json_number("    Inf"), "null");
    EXPECT_EQ(json_number("       "), "null");
}

DataSetDiagnosis one_set() {
    DataSetDiagnosis ds;
    ds.index = 1;
    ds.N = 10;
    ds.shape = {20000, 1000, 20};
    PropertyDiagnosis d;
    d.mean = 9.5f;
    d.error_subsamples = 0.25f;
    d.tau_samples = 2.5;
    d.tau_cycles = 50.0;
    d.n_eff = 400.0;
    d.error_autocorr = std::nan("");
    d.burn_in_samples = 12;
    d.window_found = true;
    d.burn_in_shift = -0.5;
    d.verdict = "correlated samples: n_eff = 400";
    d.advice = "say \"more\"";
    ds.properties.push_back({"r2", "<r2>*", {"  9.500", "  0.250"}, d});
    return ds;
}

TEST(ReportText, json_document_layout) {
    EXPECT_EQ(json_document({}), "{\"data_sets\": []}\n");
    EXPECT_EQ(json_document({one_set()}),
              "{\"data_sets\": [\n"
              "  {\"index\": 1, \"N\": 10, \"NCONF\": 20000, \"NCONFAVE\": 1000, \"NFREQ\": 20,\n"
              "    \"report\": {\"r2\": {\"mean\": 9.500, \"error\": 0.250}},\n"
              "    \"properties\": {\n"
              "      \"r2\": {\"mean\": 9.5, \"error_subsamples\": 0.25, \"tau_samples\": 2.5, \"tau_cycles\": 50, "
              "\"n_eff\": 400, \"error_autocorr\": null, \"burn_in_samples\": 12, \"burn_in_shift\": -0.5, "
              "\"verdict\": \"correlated samples: n_eff = 400\", \"advice\": \"say \\\"more\\\"\"}}}\n"
              "]}\n");
}

TEST(ReportText, csv_holds_every_sample_with_its_cycle) {
    SeriesRecorder rec(2, 2);
    const float a[] = {1.5f, 0.25f, 7.0f}, b[] = {2.0f, 0.1f, 0.0f};
    rec.conformation(1, a);
    rec.conformation(1, b);
    rec.conformation(5, a);
    DataSetDiagnosis ds = one_set();
    ds.properties.push_back(ds.properties[0]);
    ds.properties[1].key = "s2";
    EXPECT_EQ(series_csv(rec, ds),
              "subsample,sample,cycle,r2,s2\n"
              "1,1,20,1.5,0.25\n"
              "1,2,40,2,0.1\n"
              "5,1,20,1.5,0.25\n");
    EXPECT_EQ(rec.series(0)[0], (std::vector<double>{1.5, 2.0}));
    EXPECT_TRUE(rec.series(0)[1].empty());
}

TEST(ReportText, table_shows_every_property_its_verdict_and_advice) {
    const std::vector<std::string> t = table_records(one_set());
    ASSERT_EQ(t.size(), 6u);
    EXPECT_EQ(t[1], " DIAGNOSIS OF THE ERROR BARS, data set 1: 1000 samples, 20 cycles apart");
    EXPECT_EQ(t[3], " <r2>*          9.5      0.25         -           2.5          50       400       12      -0.5");
    EXPECT_EQ(t[4], " <r2>*: correlated samples: n_eff = 400");
    EXPECT_EQ(t[5], "     advice: say \"more\"");
}

}  // namespace
}  // namespace bw::diagnose
