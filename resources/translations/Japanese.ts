<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>ControlPanel</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>0000/00/00 00:00:00</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>000 km/h</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Front view</source>
        <translation>フロント映像表示</translation>
    </message>
    <message>
        <source>Rear view</source>
        <translation>リア映像表示</translation>
    </message>
    <message>
        <source>Front rear view</source>
        <translation>フロント＋リア映像表示</translation>
    </message>
    <message>
        <source>N00.000000,E000.000000</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>00:00 / 00:00</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Files</source>
        <translation>メディアファイルを開く</translation>
    </message>
    <message>
        <source>Capture</source>
        <translation>キャプチャ</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>前へ</translation>
    </message>
    <message>
        <source>Play / Pause</source>
        <translation>再生 / 一時停止</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>次へ</translation>
    </message>
    <message>
        <source>Mute</source>
        <translation>消音</translation>
    </message>
    <message>
        <source>Export</source>
        <translatorcomment>addition</translatorcomment>
        <translation>書き出し</translation>
    </message>
    <message>
        <source>Events</source>
        <translatorcomment>addition</translatorcomment>
        <translation>イベント</translation>
    </message>
</context>
<context>
    <name>DriveTexts</name>
    <message>
        <source>Harsh braking</source>
        <translatorcomment>addition</translatorcomment>
        <translation>急ブレーキ</translation>
    </message>
    <message>
        <source>Harsh acceleration</source>
        <translatorcomment>addition</translatorcomment>
        <translation>急加速</translation>
    </message>
    <message>
        <source>Harsh cornering</source>
        <translatorcomment>addition</translatorcomment>
        <translation>急ハンドル</translation>
    </message>
    <message>
        <source>Minor impact</source>
        <translatorcomment>addition</translatorcomment>
        <translation>軽い衝撃</translation>
    </message>
    <message>
        <source>Major impact</source>
        <translatorcomment>addition</translatorcomment>
        <translation>強い衝撃</translation>
    </message>
    <message>
        <source>Impact</source>
        <translatorcomment>addition</translatorcomment>
        <translation>衝撃</translation>
    </message>
    <message>
        <source>%1, %2, average %3, top %4</source>
        <translatorcomment>addition</translatorcomment>
        <translation>%1、%2、平均 %3、最高 %4</translation>
    </message>
</context>
<context>
    <name>DriveTimeline</name>
    <message>
        <source>Drive: %1</source>
        <translatorcomment>addition</translatorcomment>
        <translation>ドライブ: %1</translation>
    </message>
</context>
<context>
    <name>EventsDialog</name>
    <message>
        <source>Events</source>
        <translatorcomment>addition</translatorcomment>
        <translation>イベント</translation>
    </message>
    <message>
        <source>Type</source>
        <translatorcomment>addition</translatorcomment>
        <translation>種類</translation>
    </message>
    <message>
        <source>Time</source>
        <translatorcomment>addition</translatorcomment>
        <translation>日時</translation>
    </message>
    <message>
        <source>Speed</source>
        <translatorcomment>addition</translatorcomment>
        <translation>速度</translation>
    </message>
    <message>
        <source>Peak G</source>
        <translatorcomment>addition</translatorcomment>
        <translation>最大G</translation>
    </message>
    <message>
        <source>No drive is playing.</source>
        <translatorcomment>addition</translatorcomment>
        <translation>再生中のドライブはありません。</translation>
    </message>
    <message>
        <source>No events in this drive: %1</source>
        <translatorcomment>addition</translatorcomment>
        <translation>このドライブにイベントはありません: %1</translation>
    </message>
    <message>
        <source>Drive: %1. Double-click an event to play it.</source>
        <translatorcomment>addition</translatorcomment>
        <translation>ドライブ: %1。イベントをダブルクリックすると再生します。</translation>
    </message>
</context>
<context>
    <name>FComboBox</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quick</source>
        <translation>再生速度を上げる</translation>
    </message>
    <message>
        <source>Slow</source>
        <translation>再生速度を下げる</translation>
    </message>
</context>
<context>
    <name>MainWindows</name>
    <message>
        <source>MainWindows</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velqor v1.06</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>設定</translation>
    </message>
    <message>
        <source>Minimize</source>
        <translation>最小化</translation>
    </message>
    <message>
        <source>Maximize</source>
        <translation>最大化</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>閉じる</translation>
    </message>
    <message>
        <source>X</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>:0.00G</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Y</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Z</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>000 km/h</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velqor</source>
        <translation>Velqor</translation>
    </message>
    <message>
        <source>Tamrix</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Files</source>
        <translation>メディアファイルを開く</translation>
    </message>
    <message>
        <source>Restore Down</source>
        <translation>元に戻す</translation>
    </message>
    <message>
        <source>This computer cannot play this video because it does not have the video playback support function required to play H.265 (HEVC).</source>
        <translation>このコンピュータは、H.265(HEVC)を再生するために必要な動画再生支援機能が搭載されていないため、この動画を再生することができません。</translation>
    </message>
    <message>
        <source>This computer cannot play this video because it does not have the video playback support function required to play H.264 (AVC).</source>
        <translation>このコンピュータは、H.264(AVC)を再生するために必要な動画再生支援機能が搭載されていないため、この動画を再生することができません。</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>エラー</translation>
    </message>
    <message>
        <source>Export track...</source>
        <translatorcomment>addition</translatorcomment>
        <translation>トラックを書き出す...</translation>
    </message>
    <message>
        <source>Export drive...</source>
        <translatorcomment>addition</translatorcomment>
        <translation>ドライブ全体を書き出す...</translation>
    </message>
    <message>
        <source>Export track</source>
        <translatorcomment>addition</translatorcomment>
        <translation>トラックの書き出し</translation>
    </message>
    <message>
        <source>Export drive</source>
        <translatorcomment>addition</translatorcomment>
        <translation>ドライブの書き出し</translation>
    </message>
    <message>
        <source>Exporting...</source>
        <translatorcomment>addition</translatorcomment>
        <translation>書き出し中...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translatorcomment>addition</translatorcomment>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Export</source>
        <translatorcomment>addition</translatorcomment>
        <translation>書き出し</translation>
    </message>
    <message>
        <source>The export could not be written.</source>
        <translatorcomment>addition</translatorcomment>
        <translation>書き出しに失敗しました。</translation>
    </message>
    <message>
        <source>%1 is not a file that an export can replace.</source>
        <translatorcomment>addition</translatorcomment>
        <translation>%1 はファイルではないため、書き出しで置き換えられません。</translation>
    </message>
    <message>
        <source>%1 already exists. Replace it?</source>
        <translatorcomment>addition</translatorcomment>
        <translation>%1 は既に存在します。置き換えますか?</translation>
    </message>
    <message>
        <source>%1 is one of the recordings exported.</source>
        <translatorcomment>addition</translatorcomment>
        <translation>%1 は書き出す録画ファイルの一つです。</translation>
    </message>
    <message>
        <source>Drive %1: %2</source>
        <translatorcomment>addition</translatorcomment>
        <translation>ドライブ %1: %2</translation>
    </message>
    <message>
        <source>Export events</source>
        <translatorcomment>addition</translatorcomment>
        <translation>イベントの書き出し</translation>
    </message>
    <message>
        <source>Drive: %1</source>
        <translatorcomment>addition</translatorcomment>
        <translation>ドライブ: %1</translation>
    </message>
    <message>
        <source>The events could not be written.</source>
        <translatorcomment>addition</translatorcomment>
        <translation>イベントを書き出せませんでした。</translation>
    </message>
    <message>
        <source>Export events...</source>
        <translatorcomment>addition</translatorcomment>
        <translation>イベントを書き出す...</translation>
    </message>
    <message>
        <source>Export video...</source>
        <translatorcomment>addition</translatorcomment>
        <translation>動画を書き出す...</translation>
    </message>
    <message>
        <source>Export video</source>
        <translatorcomment>addition</translatorcomment>
        <translation>動画の書き出し</translation>
    </message>
    <message>
        <source>Exporting the video...</source>
        <translatorcomment>addition</translatorcomment>
        <translation>動画を書き出しています...</translation>
    </message>
    <message>
        <source>About %1 left</source>
        <translatorcomment>addition</translatorcomment>
        <translation>残り約 %1</translation>
    </message>
    <message>
        <source>Cancelling...</source>
        <translatorcomment>addition</translatorcomment>
        <translation>キャンセルしています...</translation>
    </message>
    <message>
        <source>The video is saved as %1.</source>
        <translatorcomment>addition</translatorcomment>
        <translation>動画を %1 に保存しました。</translation>
    </message>
    <message>
        <source>The video could not be exported.</source>
        <translatorcomment>addition</translatorcomment>
        <translation>動画を書き出せませんでした。</translation>
    </message>
</context>
<context>
    <name>MapWebView</name>
    <message>
        <source>The map file %1 was not found.</source>
        <translatorcomment>addition</translatorcomment>
        <translation>地図ファイル %1 が見つかりません。</translation>
    </message>
    <message>
        <source>%1 is not a map file.</source>
        <translatorcomment>addition</translatorcomment>
        <translation>%1 は地図ファイルではありません。</translation>
    </message>
    <message>
        <source>The map file %1 is of a kind that cannot be shown.</source>
        <translatorcomment>addition</translatorcomment>
        <translation>地図ファイル %1 は表示できない形式です。</translation>
    </message>
    <message>
        <source>The map file %1 did not answer in time: its disk is too slow, or the file is damaged.</source>
        <translatorcomment>addition</translatorcomment>
        <translation>地図ファイル %1 の読み込みが時間内に終わりませんでした。ディスクが遅いか、ファイルが壊れています。</translation>
    </message>
</context>
<context>
    <name>PlaylistModel</name>
    <message>
        <source>File Name</source>
        <translation>ファイル名</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>長さ</translation>
    </message>
    <message>
        <source>Date time</source>
        <translation>日時</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>サイズ</translation>
    </message>
    <message>
        <source>Resolution</source>
        <translation>解像度</translation>
    </message>
</context>
<context>
    <name>QInstaller</name>
    <message>
        <source>bytes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>KB</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MB</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GB</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TB</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PB</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>EB</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ZB</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>YB</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Velqor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tamrix</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Setting</name>
    <message>
        <source>Dialog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>設定</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>閉じる</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>言語</translation>
    </message>
    <message>
        <source>(JP)日本語 </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(EN)English</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Map size</source>
        <translation>地図の大きさ</translation>
    </message>
    <message>
        <source>Big</source>
        <translation>大</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>中</translation>
    </message>
    <message>
        <source>Small</source>
        <translation>小</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存する</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Speed unit</source>
        <translatorcomment>addition</translatorcomment>
        <translation>速度の単位</translation>
    </message>
    <message>
        <source>Map source</source>
        <translatorcomment>addition</translatorcomment>
        <translation>地図の提供元</translation>
    </message>
    <message>
        <source>OpenStreetMap (online)</source>
        <translatorcomment>addition</translatorcomment>
        <translation>OpenStreetMap (オンライン)</translation>
    </message>
    <message>
        <source>Map file...</source>
        <translatorcomment>addition</translatorcomment>
        <translation>地図ファイル...</translation>
    </message>
    <message>
        <source>Map file</source>
        <translatorcomment>addition</translatorcomment>
        <translation>地図ファイル</translation>
    </message>
    <message>
        <source>Map files (*.mbtiles *.pmtiles)</source>
        <translatorcomment>addition</translatorcomment>
        <translation>地図ファイル (*.mbtiles *.pmtiles)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translatorcomment>addition</translatorcomment>
        <translation>すべてのファイル (*)</translation>
    </message>
</context>
<context>
    <name>VideoExportDialog</name>
    <message>
        <source>Export video</source>
        <translatorcomment>addition</translatorcomment>
        <translation>動画の書き出し</translation>
    </message>
    <message>
        <source>What</source>
        <translatorcomment>addition</translatorcomment>
        <translation>書き出す範囲</translation>
    </message>
    <message>
        <source>The current recording</source>
        <translatorcomment>addition</translatorcomment>
        <translation>現在の録画</translation>
    </message>
    <message>
        <source>A stretch of the drive, from</source>
        <translatorcomment>addition</translatorcomment>
        <translation>ドライブの一部:</translation>
    </message>
    <message>
        <source>to</source>
        <translatorcomment>addition</translatorcomment>
        <translation>から</translation>
    </message>
    <message>
        <source>The whole drive</source>
        <translatorcomment>addition</translatorcomment>
        <translation>ドライブ全体</translation>
    </message>
    <message>
        <source>Picture</source>
        <translatorcomment>addition</translatorcomment>
        <translation>映像</translation>
    </message>
    <message>
        <source>Layout</source>
        <translatorcomment>addition</translatorcomment>
        <translation>レイアウト</translation>
    </message>
    <message>
        <source>Front camera</source>
        <translatorcomment>addition</translatorcomment>
        <translation>フロントカメラ</translation>
    </message>
    <message>
        <source>Rear camera</source>
        <translatorcomment>addition</translatorcomment>
        <translation>リアカメラ</translation>
    </message>
    <message>
        <source>Side by side</source>
        <translatorcomment>addition</translatorcomment>
        <translation>左右に並べる</translation>
    </message>
    <message>
        <source>Rear in a corner of the front</source>
        <translatorcomment>addition</translatorcomment>
        <translation>フロントの隅にリア</translation>
    </message>
    <message>
        <source>Resolution</source>
        <translatorcomment>addition</translatorcomment>
        <translation>解像度</translation>
    </message>
    <message>
        <source>The front camera&apos;s</source>
        <translatorcomment>addition</translatorcomment>
        <translation>フロントカメラと同じ</translation>
    </message>
    <message>
        <source>1080p (1920 × 1080)</source>
        <translatorcomment>addition</translatorcomment>
        <translation>1080p (1920 × 1080)</translation>
    </message>
    <message>
        <source>720p (1280 × 720)</source>
        <translatorcomment>addition</translatorcomment>
        <translation>720p (1280 × 720)</translation>
    </message>
    <message>
        <source>Shown over the picture</source>
        <translatorcomment>addition</translatorcomment>
        <translation>映像に重ねる情報</translation>
    </message>
    <message>
        <source>Date and time</source>
        <translatorcomment>addition</translatorcomment>
        <translation>日付と時刻</translation>
    </message>
    <message>
        <source>UTC time</source>
        <translatorcomment>addition</translatorcomment>
        <translation>UTC 時刻</translation>
    </message>
    <message>
        <source>Speed</source>
        <translatorcomment>addition</translatorcomment>
        <translation>速度</translation>
    </message>
    <message>
        <source>Coordinates</source>
        <translatorcomment>addition</translatorcomment>
        <translation>座標</translation>
    </message>
    <message>
        <source>Heading</source>
        <translatorcomment>addition</translatorcomment>
        <translation>方位</translation>
    </message>
    <message>
        <source>G meter</source>
        <translatorcomment>addition</translatorcomment>
        <translation>G メーター</translation>
    </message>
    <message>
        <source>Mini-map</source>
        <translatorcomment>addition</translatorcomment>
        <translation>ミニマップ</translation>
    </message>
    <message>
        <source>Save as</source>
        <translatorcomment>addition</translatorcomment>
        <translation>保存先</translation>
    </message>
    <message>
        <source>Choose...</source>
        <translatorcomment>addition</translatorcomment>
        <translation>選択...</translation>
    </message>
    <message>
        <source>Export</source>
        <translatorcomment>addition</translatorcomment>
        <translation>書き出し</translation>
    </message>
    <message>
        <source>of %1</source>
        <translatorcomment>addition</translatorcomment>
        <translation>/ %1</translation>
    </message>
    <message>
        <source>A stretch of the recording, from</source>
        <translatorcomment>addition</translatorcomment>
        <translation>録画の一部:</translation>
    </message>
    <message>
        <source>The selected recordings</source>
        <translatorcomment>addition</translatorcomment>
        <translation>選択した録画</translation>
    </message>
    <message>
        <source>The front camera&apos;s (%1 × %2)</source>
        <translatorcomment>addition</translatorcomment>
        <translation>フロントカメラと同じ (%1 × %2)</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translatorcomment>addition</translatorcomment>
        <translation>キャンセル</translation>
    </message>
</context>
</TS>
