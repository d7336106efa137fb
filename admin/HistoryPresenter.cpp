#include "admin/HistoryPresenter.h"

#include "admin/ConfigDocument.h"
#include "platform/Files.h"
#include "ui/Telling.h"

#include <chrono>
#include <utility>

namespace quillet::admin {

namespace {

std::int64_t SystemUnixNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::optional<std::size_t> FindRecord(const HistoryQuery& query, const std::string& machine, const HistoryRecord& r) {
    const auto& records = query.records();
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i].start == r.start && records[i].database == r.database &&
            records[i].configuration == r.configuration && query.machineOf(i) == machine)
            return i;
    return std::nullopt;
}

} // namespace

std::optional<Rgb> HighlightOf(OutcomeKind kind) {
    if (kind == OutcomeKind::Failed)
        return Rgb{255, 210, 210};
    if (kind == OutcomeKind::Skipped)
        return Rgb{255, 242, 190};
    return std::nullopt;
}

std::optional<Rgb> HighlightOf(const MachineRow& machine) {
    return machine.needsAttention ? HighlightOf(OutcomeKind::Failed) : std::nullopt;
}

// ---- The window's sequence ----

HistoryPresenter::HistoryPresenter(HistoryView& view, std::function<std::string()> compactorPath,
                                   std::function<std::int64_t()> unixNow)
    : view_(view), compactorPath_(std::move(compactorPath)),
      unixNow_(unixNow ? std::move(unixNow) : std::function<std::int64_t()>(SystemUnixNow)) {}

HistoryPresenter::~HistoryPresenter() {
    if (worker_.joinable())
        worker_.join();
}

std::string HistoryPresenter::HistoryPath() const {
    return CompactorFileOf(compactorPath_ ? compactorPath_() : std::string(), HistoryFileName);
}

std::string HistoryPresenter::ErrorLogPath() const {
    return CompactorFileOf(compactorPath_ ? compactorPath_() : std::string(), "error.log");
}

void HistoryPresenter::Show() {
    shown_ = true;
    startReading(watch_.reloadIfChanged(HistoryPath()));
}

void HistoryPresenter::Reload() {
    startReading(watch_.reload(HistoryPath()));
}

void HistoryPresenter::Tick() {
    if (!shown_)
        return;
    if (query_.acrossMachines() && ++ticks_ >= FleetTicks)
        startReading(watch_.reload(HistoryPath()));
    else
        startReading(watch_.reloadIfChanged(HistoryPath()));
}

void HistoryPresenter::Close() {
    shown_ = false;
    view_.hide();
}

void HistoryPresenter::startReading(const std::optional<std::string>& path) {
    if (!path)
        return;
    if (worker_.joinable())
        worker_.join();
    ticks_ = 0;
    worker_ = std::thread([this, path = *path, now = unixNow_()] {
        auto load = std::make_shared<const HistoryReading>(ReadHistory(path, now));
        {
            const std::lock_guard<std::mutex> hold(resultLock_);
            result_ = std::move(load);
        }
        view_.postLoaded();
    });
}

void HistoryPresenter::Loaded() {
    std::shared_ptr<const HistoryReading> reading;
    {
        const std::lock_guard<std::mutex> hold(resultLock_);
        reading = std::move(result_);
    }
    if (!reading)
        return;
    if (worker_.joinable())
        worker_.join();
    // The selected line is found again: across machines the lines of the machines
    // before it may have grown too.
    std::optional<std::pair<std::string, HistoryRecord>> kept;
    if (selected_ && *selected_ < query_.records().size())
        kept.emplace(query_.machineOf(*selected_), query_.records()[*selected_]);
    query_.setHistory(reading->load, reading->machines);
    selected_ = kept ? FindRecord(query_, kept->first, kept->second) : std::nullopt;
    {
        const ui::Telling telling(telling_);
        view_.showMachines(reading->machineRows);
        showChoices(FilterBox::Machine, query_.machineChoices(), query_.filter().machine);
        showChoices(FilterBox::Configuration, query_.configurationChoices(), query_.filter().configuration);
        showChoices(FilterBox::Outcome, query_.outcomeChoices(), query_.filter().outcome);
        // The query moves dates that were at the data's ends along with the data.
        if (query_.filter().from && query_.filter().to)
            view_.showDates(*query_.filter().from, *query_.filter().to);
        view_.showFileNote(query_.fileNote(watch_.path()));
    }
    filtered();
    startReading(watch_.loaded());
}

void HistoryPresenter::showChoices(FilterBox box, std::vector<FilterChoice> choices, const std::string& value) {
    std::size_t chosen = 0;
    for (std::size_t i = 0; i < choices.size(); ++i)
        if (choices[i].value == value)
            chosen = i;
    auto& kept = choices_[static_cast<int>(box)];
    kept = std::move(choices);
    view_.showChoices(box, kept, chosen);
}

void HistoryPresenter::FilterChosen(FilterBox box, std::size_t index) {
    const auto& choices = choices_[static_cast<int>(box)];
    if (telling_ || index >= choices.size())
        return;
    HistoryFilter filter = query_.filter();
    (box == FilterBox::Configuration ? filter.configuration
     : box == FilterBox::Database    ? filter.database
     : box == FilterBox::Machine     ? filter.machine
                                     : filter.outcome) = choices[index].value;
    query_.setFilter(std::move(filter));
    filtered();
}

void HistoryPresenter::DateChosen(DateBox box, Date date) {
    // Without data the boxes show today, which filters nothing.
    if (telling_ || query_.records().empty())
        return;
    HistoryFilter filter = query_.filter();
    (box == DateBox::From ? filter.from : filter.to) = date;
    query_.setFilter(std::move(filter));
    filtered();
}

void HistoryPresenter::SortClicked(HistoryColumn column) {
    if (telling_)
        return;
    query_.sortBy(column, column == query_.sortColumn() && !query_.sortDescending());
    const ui::Telling telling(telling_);
    view_.showRows();
    showSelected();
}

void HistoryPresenter::RowSelected(std::optional<std::size_t> row) {
    if (telling_)
        return;
    selected_.reset();
    if (row && *row < query_.rowCount())
        selected_ = query_.recordIndexAt(*row);
    const ui::Telling telling(telling_);
    showSelected();
}

bool HistoryPresenter::KeyPressed(int key, bool ctrl) {
    const std::vector<HistoryColumn> columns = query_.columnsShown();
    if (!ctrl || key < '1' || key > '9' || static_cast<std::size_t>(key - '1') >= columns.size())
        return false;
    SortClicked(columns[static_cast<std::size_t>(key - '1')]);
    return true;
}

std::optional<std::size_t> HistoryPresenter::SelectedRow() const {
    return selected_ ? query_.rowOf(*selected_) : std::nullopt;
}

// Everything that follows the filter: the database box (of the configuration chosen),
// rows, totals; a selection that no longer shows goes.
void HistoryPresenter::filtered() {
    const ui::Telling telling(telling_);
    showChoices(FilterBox::Database, query_.databaseChoices(), query_.filter().database);
    if (selected_ && !query_.rowOf(*selected_))
        selected_.reset();
    view_.showRows();
    view_.showTotals(query_.totalsText());
    std::vector<ChartSeries> saved;
    if (query_.acrossMachines() && query_.filter().machine.empty())
        for (auto& [machine, points] : query_.savedPerNightByMachine())
            saved.push_back({machine, std::move(points)});
    else
        saved.push_back({"Saved", query_.savedPerNight()});
    saved_ = ChartOf("Space saved per night", std::move(saved));
    showSelected();
}

void HistoryPresenter::showSelected() {
    view_.showSort(query_.sortColumn(), query_.sortDescending());
    view_.showSelection(SelectedRow());
    const SizeSeries sizes = query_.sizeChart(selected_);
    view_.showCharts(ChartOf(sizes.title, {{"Before", sizes.before}, {"After", sizes.after}}), saved_);
    view_.showLog(query_.passLog(selected_, ErrorLogPath()));
}

void HistoryPresenter::OpenInSpreadsheet() {
    const std::string path = HistoryPath();
    if (!platform::FileExists(path))
        view_.warn("There is no history yet: " + path + " does not exist.");
    else if (const auto why = view_.open(path))
        view_.warn("Could not open " + path + ": " +
                   (why->empty() ? "no program on this computer is set to open .csv files" : *why) + ".");
}

void HistoryPresenter::ShowFile() {
    const std::string folder = DialogFolderOf(HistoryPath());
    if (!platform::FolderExists(folder))
        view_.warn("Could not open " + folder + ": the folder does not exist.");
    else if (const auto why = view_.open(folder))
        view_.warn("Could not open " + folder + ": " + (why->empty() ? "the desktop has no program to show folders" : *why) +
                   ".");
}

} // namespace quillet::admin
