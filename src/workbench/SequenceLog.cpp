#include "workbench/SequenceLog.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "support/DateTimeUtilities.h"
#include "support/PrintLayout.h"

namespace kal {

namespace {

const std::string kRule(52, '=');

void Line(std::string& out, const std::string& text) {
  out += text;
  out += "\r\n";
}

void Heading(std::string& out, const std::string& heading) {
  Line(out, heading);
  Line(out, std::string(heading.size(), '='));
}

std::string Padded(const std::string& value) {
  return value.size() < 8 ? std::string(8 - value.size(), ' ') + value : value;
}

}  // namespace

TSEQLogWriter::TSEQLogWriter(std::string programDir, TLUXWallClock clock,
                             std::function<void(const std::string&)> notice)
    : programDir_(std::move(programDir)), clock_(std::move(clock)), notice_(std::move(notice)) {
  if (!clock_) clock_ = [] { return std::time(nullptr); };
}

void TSEQLogWriter::SEQStartRun() {
  SEQiLogCount = 0;
  noticed_ = false;
}

std::string TSEQLogWriter::SEQLogFileName(const std::string& field, int count) {
  const size_t slash = field.rfind('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = field.rfind('.');
  if (dot == std::string::npos || dot < nameStart) dot = field.size();
  return field.substr(0, dot) + "." + std::to_string(count / 100) + field.substr(dot);
}

char TSEQLogWriter::SEQDelimiter(const std::string& item) {
  if (!item.empty() && static_cast<unsigned char>(item[0]) > ' ') return item[0];
  return '\t';
}

std::string TSEQLogWriter::Resolve(const std::string& name) const {
  return !name.empty() && name[0] == '/' ? name : programDir_ + name;
}

std::string TSEQLogWriter::SEQDebugEntry(int count, const std::string& dateTime,
                                         const TSEQLogEntry& entry) {
  std::string out;
  Line(out, kRule);
  Line(out, "         Log entry nr " + std::to_string(count));
  Line(out, kRule);
  Line(out, "Date and time:  " + dateTime);
  Line(out, "Sequence line:  " + std::to_string(entry.row));
  Line(out, "Error count:    " + std::to_string(entry.errorCount));
  Line(out, "Client message: " + entry.clientMessage);
  Line(out, "Server message: " + entry.serverMessage);
  Line(out, "");
  Line(out, "");
  auto tree = [&](const IPRSTreeReader* reader) {
    if (reader != nullptr) PrintTreeViewToLogfile(*reader, out);
  };
  // A memo section; the XML and header ones leave an empty line under the
  // heading.
  auto memo = [&](const std::string& heading, bool spaced, const std::string& text) {
    Heading(out, heading);
    if (spaced) Line(out, "");
    PrintMemoFieldToLogfile(text, out);
    Line(out, "");
  };
  Heading(out, "Source Window");
  tree(entry.sourceTree);
  Line(out, "");
  memo("Send Message: XML Document", true, entry.sendXml);
  memo("Send Message: Data Stream", false, entry.sendStream);
  Heading(out, "Received Message: Reference Structure");
  tree(entry.referenceTree);
  Line(out, "");
  memo("Received Message: Data Stream", false, entry.receivedStream);
  memo("Received Message: XML Document", true, entry.receivedXml);
  memo("Received Message: Header and Security Items", true, entry.headerSecurity);
  memo("Received Message: Message Content", false, entry.messageContent);
  return out;
}

std::string TSEQLogWriter::SEQSummary(const TSEQLogFigures& figures) {
  std::string out;
  Line(out, std::string(52, '*'));
  Line(out, "Summary");
  Line(out, "=======");
  Line(out, "Number of send messages      " + Padded(figures.sent));
  Line(out, "Number of received messages  " + Padded(figures.received));
  Line(out, "Number of errors             " + Padded(figures.errors));
  Line(out, "Minimum execution time       " + Padded(figures.minTime) + " [ms]");
  Line(out, "Maximum execution time       " + Padded(figures.maxTime) + " [ms]");
  Line(out, "Average execution time       " + Padded(figures.averageTime) + " [ms]");
  return out;
}

bool TSEQLogWriter::Write(const TSEQLogSettings& settings, const TLUXLogItemsList& columns,
                          int errorCount, const std::string& text) {
  const int count = SEQiLogCount + 1;
  const std::string path = Resolve(SEQLogFileName(settings.fileName, count));
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  const bool append = exists && count >= 2 && (errorCount > 0 || count % 100 != 0);
  std::string content;
  if (!append) {
    const char delimiter = SEQDelimiter(settings.delimiterItem);
    if (settings.logType == SEQcTypeWatchdog) Line(content, columns.LUXGenerateWatchdogTitleLine());
    if (settings.logType == SEQcTypeDelimited)
      Line(content, columns.LUXGenerateDelimitorSeparatedTitleLine(delimiter));
  }
  content += text;

  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), append ? "ab" : "wb");
  bool ok = file != nullptr;
  if (ok) {
    ok = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    ok = std::fflush(file) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
  }
  if (!ok) {
    if (!noticed_ && notice_) {
      const int code = errno != 0 ? errno : EIO;
      notice_("Can not write log file " + path + ": " + std::strerror(code));
    }
    noticed_ = true;
    return false;
  }
  SEQiLogCount = count;
  return true;
}

bool TSEQLogWriter::SEQLog(const TSEQLogSettings& settings, const TLUXLogItemsList& columns,
                           const TLSILogStatistics& statistics, const TSEQLogEntry& entry) {
  if (settings.fileName.empty() || settings.logging == SEQcLogNone) return false;
  if (settings.logging == SEQcLogErrors && statistics.LSIGetErrorText().empty()) return false;
  std::string text;
  switch (settings.logType) {
    case SEQcTypeDebug:
      text = SEQDebugEntry(SEQiLogCount + 1, UDTDateTimeTextAt(clock_()), entry);
      break;
    case SEQcTypeWatchdog:
      Line(text, columns.LUXGenerateFixWidthString(statistics));
      break;
    default:
      Line(text, columns.LUXGenerateDelimitorSeparatedString(statistics,
                                                             SEQDelimiter(settings.delimiterItem)));
      break;
  }
  return Write(settings, columns, entry.errorCount, text);
}

bool TSEQLogWriter::SEQLogSummary(const TSEQLogSettings& settings, const TLUXLogItemsList& columns,
                                  const TSEQLogFigures& figures) {
  if (settings.fileName.empty() || settings.logging != SEQcLogAll) return false;
  if (settings.logType != SEQcTypeDebug && settings.logType != SEQcTypeWatchdog) return false;
  return Write(settings, columns, figures.errorCount, SEQSummary(figures));
}

}  // namespace kal
