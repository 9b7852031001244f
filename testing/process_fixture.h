// A program directory for tests that start the real converter in separate processes: the
// input, output and backup directories, inputs whose orders each reach one output, and the
// checks that every order was converted exactly once after runs were ended at any moment.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/fake_platform.h"

namespace varnex {

class ProcessFixture : public ::testing::Test {
 protected:
  // `relative` spelled with '/' below the program directory.
  std::string Path(const std::string& relative) const;
  // The names in a subdirectory, sorted, without the records kept beside the backups.
  std::vector<std::string> Files(const std::string& relative) const;
  // Empties the input, output and backup directories.
  void Reset();
  // Writes `files` inputs of a SEPA order, an urgent one and one that is not (three outputs
  // each); returns the references of the orders.
  std::vector<std::string> WriteInputs(int round, int files);
  // Right after a run was ended: an output under its final name belongs to a commit that is
  // complete (its backup in place) or whose journal waits. Returns whether a journal waits.
  bool ExpectNoOutputBeforeCommit(const std::string& where);
  // After a run that was not ended: every order in exactly one output, no input left, one
  // backup per input and nothing else.
  void ExpectEachOrderOnce(const std::vector<std::string>& refs, int files,
                           const std::string& where);

  ScopedTempDir dir_;
};

}  // namespace varnex
