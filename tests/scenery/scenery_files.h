// The airport files the build wrote for these tests (airports/*.txt through
// tools/bgl_writer.py), and small helpers over their bytes.
#ifndef DROVANA_TESTS_SCENERY_FILES_H
#define DROVANA_TESTS_SCENERY_FILES_H

#include <stdint.h>

#include <string>
#include <vector>

typedef std::vector<uint8_t> BglBytes;

// <folder of this test program>\scenery_data\<name>.bgl
std::string TestAirportPath(const char *name);
// Its bytes; empty when missing (the test then fails on that).
BglBytes TestAirport(const char *name);

uint32_t ReadU32(const BglBytes &bytes, size_t at);
void WriteU16(BglBytes *bytes, size_t at, uint16_t value);
void WriteU32(BglBytes *bytes, size_t at, uint32_t value);

// Where the parts of a writer-made file are: the first airport record and
// each subrecord of it by id.
size_t FirstAirportRecord(const BglBytes &bytes);
size_t SubrecordOf(const BglBytes &bytes, size_t airport, uint16_t id);

bool WriteBytes(const std::string &path, const BglBytes &bytes);

#endif
