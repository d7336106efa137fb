#include "admin/HistoryPresenter.h"

#include "platform/Files.h"
#include "ui/Telling.h"

#include <utility>

namespace quillet::admin {

namespace {

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

} // namespace

std::optional<Rgb> HighlightOf(OutcomeKind kind) {
    if (kind == OutcomeKind::Failed)
        return Rgb{255, 210, 210};
    if (kind == OutcomeKind::Skipped)
        return Rgb{255, 242, 190};
    return std::nullopt;
}

// ---- The window's sequence ----

HistoryPresenter::HistoryPresenter(HistoryView& view, std::function<std::string()> compactorPath)
    : view_(view), compactorPath_(std::move(compactorPath)) {}

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
    if (shown_)
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
    worker_ = std::thread([this, path = *path] {
        auto load = std::make_shared<const HistoryLoad>(LoadHistory(path));
        {
            const std::lock_guard<std::mutex> hold(resultLock_);
            result_ = std::move(load);
        }
        view_.postLoaded();
    });
}

void HistoryPresenter::Loaded() {
    std::shared_ptr<const HistoryLoad> load;
    {
        const std::lock_guard<std::mutex> hold(resultLock_);
        load = std::move(result_);
    }
    if (!load)
        return;
    if (worker_.joinable())
        worker_.join();
    // The same line stands at the same place in the file after it grew.
    if (selected_ && *selected_ >= load->contents.records.size())
        selected_.reset();
    query_.setHistory(std::move(load));
    {
        const ui::Telling telling(telling_);
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
    if (!ctrl || key < '1' || key >= '1' + HistoryColumnCount)
        return false;
    SortClicked(static_cast<HistoryColumn>(key - '1'));
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
    saved_ = ChartOf("Space saved per night", {{"Saved", query_.savedPerNight()}});
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
    else if (!view_.open(path))
        view_.warn("Could not open " + path + ": no program on this computer is set to open .csv files.");
}

void HistoryPresenter::ShowFile() {
    const std::string folder = FolderOf(HistoryPath());
    if (!platform::FolderExists(folder))
        view_.warn("Could not open " + folder + ": the folder does not exist.");
    else if (!view_.open(folder))
        view_.warn("Could not open " + folder + ": the desktop has no program to show folders.");
}

} // namespace quillet::admin
