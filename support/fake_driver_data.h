// FakeDriverData: a driver data for the tests of the models and of the
// driver services (and the flat record's benchmark), over a configuration
// tree that its user builds:
//   configuration (353) -> printer object (76) -> job settings (198)
// The job settings start empty; tests add settings to them. The services
// read the printer name; the operations the models call answer from the
// tree, from a table the test fills, or record what they were given.
//
// Ownership: the fake holds its configuration. Threads: one thread at a
// time (the recorded calls are not guarded).
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "persist/counted_ptr.h"
#include "services/driver_data.h"

class FakeDriverData : public GDriverData {
 public:
  explicit FakeDriverData(const RWWString& printer_name = RWWString());
  ~FakeDriverData() override;

  // Replaces the configuration (held from now on; null: none, so there are
  // no job settings).
  void SetConfiguration(GAttributeComposite* configuration);
  GAttributeComposite* Configuration() const;
  // What GetPaperCodeOfMedia answers for `media_id`.
  void SetPaperCode(std::uint16_t media_id, std::uint16_t paper_code);
  // What GetMediaIdOfPaperCode answers for `paper_code` (the driver's own
  // stub, answering 0, for the codes not set), and what NormalizePaperId
  // (the custom-size mapping) answers for `paper_code` (the code itself
  // for the codes not set).
  void SetMediaId(std::uint16_t paper_code, std::uint16_t media_id);
  void SetNormalizedPaperId(std::uint16_t paper_code, std::uint16_t normalized);

  // A deep copy of the job settings (an empty composite without them).
  GAttributeComposite* BuildDefaultSettings() override;
  // The string attribute 401 of the job settings, widened; empty without.
  RWWString GetSupportFilePath() override;
  // Recorded; answers 1.
  int ApplySeries(const RWWString& name, GAttributeComposite* settings) override;
  // The printer object's (76) child keyed 198.
  GAttributeComposite* GetJobSettings() override;
  // Recorded.
  void WriteBinAndTrayMaps(GAttributeComposite* root) override;
  // From the table of SetPaperCode.
  int GetPaperCodeOfMedia(std::uint16_t media_id, std::uint16_t& paper_code) override;
  // From the tables of SetMediaId and SetNormalizedPaperId.
  int GetMediaIdOfPaperCode(std::uint16_t paper_code, std::uint16_t& media_id) override;
  std::uint16_t NormalizePaperId(GAttributeComposite* settings, std::uint16_t paper_id) override;

  // What the recorded operations were given, in order.
  struct SeriesCall {
    RWWString name;
    const GAttributeComposite* settings;
  };
  int default_settings_built = 0;
  std::vector<SeriesCall> series_applied;
  std::vector<const GAttributeComposite*> maps_written;

 private:
  GCountedPtr configuration_;
  std::map<std::uint16_t, std::uint16_t> paper_codes_;
  std::map<std::uint16_t, std::uint16_t> media_ids_;
  std::map<std::uint16_t, std::uint16_t> normalized_;
};
