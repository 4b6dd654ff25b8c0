// Validating a document of about 1 MB against its internal subset: content
// models with choices and repetitions, mixed content, ID, IDREF, NMTOKEN
// and enumerated attributes. Both sides validate
// a tree read beforehand: TVxXMLParser::Validate and libxml2's
// xmlValidateDocument. The ratio is the ratio of validations per second.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/valid.h>

#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include "xml/XMLDOM.h"
#include "xml/XMLParser.h"

namespace {

using namespace kal;

std::string Document() {
  std::string out =
      "<?xml version=\"1.0\"?>\n"
      "<!DOCTYPE shop [\n"
      "<!ELEMENT shop (order+)>\n"
      "<!ELEMENT order (head, (line | note)*, total?)>\n"
      "<!ELEMENT head (#PCDATA)>\n"
      "<!ELEMENT line (item, ((price, qty) | qty))+>\n"
      "<!ELEMENT item (#PCDATA)>\n"
      "<!ELEMENT qty (#PCDATA)>\n"
      "<!ELEMENT price (#PCDATA)>\n"
      "<!ELEMENT note (#PCDATA | b)*>\n"
      "<!ELEMENT b (#PCDATA)>\n"
      "<!ELEMENT total (#PCDATA)>\n"
      "<!ATTLIST order id ID #REQUIRED ref IDREF #IMPLIED kind (new|repeat) \"new\">\n"
      "<!ATTLIST line n NMTOKEN #REQUIRED>\n"
      "]>\n<shop>\n";
  for (int o = 0; out.size() < 1'000'000; ++o) {
    out += "<order id=\"o" + std::to_string(o) + "\"";
    if (o > 0) out += " ref=\"o" + std::to_string(o / 2) + "\" kind=\"repeat\"";
    out += "><head>Order " + std::to_string(o) + "</head>\n";
    for (int l = 0; l < 6; ++l) {
      out += "<line n=\"" + std::to_string(l) + "\">";
      for (int p = 0; p <= l % 3; ++p)
        out += (p + l) % 2 ? "<item>A-100</item><price>12.50</price><qty>2</qty>"
                           : "<item>B-7</item><qty>1</qty>";
      out += "</line>\n";
      if (l == 3) out += "<note>Deliver <b>before</b> noon</note>\n";
    }
    out += "<total>75.00</total></order>\n";
  }
  return out + "</shop>\n";
}

void BM_Ours(benchmark::State& state) {
  const std::string bytes = Document();
  TVxXMLParser parser;
  std::istringstream in(bytes);
  std::unique_ptr<TVxXMLDocument> doc;
  parser.Parse(in, doc);
  if (!parser.Validate(doc.get())) throw std::logic_error("the benchmark document is invalid");
  for (auto _ : state) benchmark::DoNotOptimize(parser.Validate(doc.get()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void IgnoreMessage(void*, const char*, ...) {}

void BM_Libxml2(benchmark::State& state) {
  xmlSetGenericErrorFunc(nullptr, IgnoreMessage);
  const std::string bytes = Document();
  xmlDoc* doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  xmlValidCtxt* ctxt = xmlNewValidCtxt();
  if (!doc || !ctxt || !xmlValidateDocument(ctxt, doc))
    throw std::logic_error("libxml2 finds the benchmark document invalid");
  for (auto _ : state) benchmark::DoNotOptimize(xmlValidateDocument(ctxt, doc));
  xmlFreeValidCtxt(ctxt);
  xmlFreeDoc(doc);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

}  // namespace

BENCHMARK(BM_Ours)->Name("xml-validate-1m/ours");
BENCHMARK(BM_Libxml2)->Name("xml-validate-1m/ref");
