"""The HTML report in a real browser (headless Chromium through chromedriver): it loads
without console errors or network requests, its KPI table holds tessavo.analysis.kpis, each
chart draws a marker per value, and a screenshot is kept under build/."""

import json
import math
import shutil

import pytest

from conftest import BUILD, SAMPLE
from tessavo import analysis, positions, report

CHROMIUM = shutil.which("chromium") or shutil.which("chromium-browser")
DRIVER = shutil.which("chromedriver")


@pytest.fixture(scope="module")
def browser():
    webdriver = pytest.importorskip("selenium.webdriver",
                                    reason="python3-selenium is not installed")
    if not CHROMIUM or not DRIVER:
        pytest.skip("Chromium or chromedriver is absent (Debian chromium, chromium-driver)")
    from selenium.webdriver.chrome.service import Service

    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu",
                     "--window-size=1200,1000", "--disable-dev-shm-usage"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
    driver = webdriver.Chrome(service=Service(DRIVER), options=options)
    yield driver
    driver.quit()


@pytest.fixture(scope="module")
def page(browser):
    path = BUILD / "report-sample.html"  # the route from the capture's own position fixes
    path.write_text(report.build([SAMPLE]), encoding="utf-8")
    browser.get(path.as_uri())
    return browser


def test_no_console_errors_and_no_network(page):
    errors = [entry for entry in page.get_log("browser") if entry["level"] == "SEVERE"]
    assert errors == []
    requests = []
    for entry in page.get_log("performance"):
        message = json.loads(entry["message"])["message"]
        if message["method"] == "Network.requestWillBeSent":
            url = message["params"]["request"]["url"]
            if not url.startswith("file://"):
                requests.append(url)
    assert requests == []


def test_kpi_table_is_the_analysis(page):
    expected = analysis.kpis(SAMPLE)["values"]
    rows = page.find_elements("css selector", "#capture-0 table.kpis tr[data-name]")
    shown = {row.get_attribute("data-name"): float(row.get_attribute("data-value"))
             for row in rows}
    assert shown.keys() == expected.keys()
    for name, value in expected.items():
        assert (math.isnan(value) and math.isnan(shown[name])) or shown[name] == value, name


def test_each_chart_marks_its_data(page):
    events = analysis.events(SAMPLE)
    names = [name for _, _, lines in report.CHARTS for name, _ in lines]
    series = analysis.series(SAMPLE, names)
    expected = [int(sum(series[name].notna().sum() for name, _ in lines))
                for _, _, lines in report.CHARTS
                if any(series[name].notna().any() for name, _ in lines)]
    charts = page.find_elements("css selector", "#capture-0 svg.series")
    drawn = [len(chart.find_elements("css selector", "circle.pt")) for chart in charts]
    assert drawn == expected and sum(drawn) > 1000
    for chart in charts:
        assert len(chart.find_elements("css selector", "line.ev")) == len(events)
    route = page.find_element("css selector", "#capture-0 svg.route")
    points, located = positions.located_points(SAMPLE)
    assert len(route.find_elements("css selector", "circle.pt")) == len(points) > 700
    assert len(route.find_elements("css selector", "rect.ev")) == len(located) == len(events)
    sectors = page.find_elements("css selector", "#capture-0 table.do-sectors tr td:first-child")
    assert [int(cell.text) for cell in sectors] == list(analysis.kpis(SAMPLE)["do_sectors"]["pn"])
    cdfs = analysis.kpis(SAMPLE)["distributions"]["cdf"]
    drawn_cdf = [len(c.find_elements("css selector", "circle.pt"))
                 for c in page.find_elements("css selector", "#capture-0 svg.cdf")]
    assert drawn_cdf == [len(points) for points in cdfs]
    height = page.execute_script("return document.body.scrollHeight")
    page.set_window_size(1200, min(int(height) + 100, 16000))
    page.save_screenshot(str(BUILD / "report-sample.png"))
    assert (BUILD / "report-sample.png").stat().st_size > 10000
